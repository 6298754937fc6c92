#pragma once

#include "app/widgets/Card.h"
#include "protocol/PowerState.h"

#include <QList>
#include <QPointer>
#include <optional>

class AdaptiveGridLayout;
class DisplayController;
class QMessageBox;
class TileButton;

// One tile per power state the display's series offers. Energy saving and off can only be
// undone at the device's mains switch, so those two ask first.
class PowerCard : public Card {
    Q_OBJECT

public:
    explicit PowerCard(DisplayController& controller, QWidget* parent = nullptr);

    // The state waiting for the user's confirmation, if any.
    const std::optional<PowerState>& pendingConfirmation() const { return m_confirm; }

private:
    void rebuildTiles();
    void refreshActive();
    void choose(PowerState state);
    void askFor(PowerState state);

    DisplayController& m_controller;
    AdaptiveGridLayout* m_grid;
    QList<QPair<PowerState, TileButton*>> m_tiles;
    std::optional<PowerState> m_confirm;
    QPointer<QMessageBox> m_dialog;
};

#pragma once

#include "app/widgets/Card.h"

#include <QList>

class DisplayController;
class TileButton;

// One tile per input of the display, and a warning when the display reports no signal.
class InputCard : public Card {
    Q_OBJECT

public:
    explicit InputCard(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refresh();

    DisplayController& m_controller;
    QList<TileButton*> m_tiles; // in the order of InputSource::all()
    QWidget* m_noSignal;
};

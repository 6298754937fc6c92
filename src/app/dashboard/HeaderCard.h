#pragma once

#include "app/widgets/Card.h"

class DisplayController;
class QBoxLayout;
class QLabel;
class QTimer;
class StatusChip;
class StatusLine;

// What is known about the display: its name, serial and part number, firmware, and the three
// status chips (power, input, volume). Values this line's display has not told are dimmed,
// with the line and the age of what is shown; values never told show "–". The chips move
// under the name when the row gets narrow.
class HeaderCard : public Card {
    Q_OBJECT

public:
    explicit HeaderCard(DisplayController& controller, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshIdentity();
    void refreshChips();
    void refreshOrigin();
    void chooseArrangement();

    DisplayController& m_controller;
    QBoxLayout* m_row;
    QWidget* m_identity;
    QWidget* m_chips;
    QLabel* m_title;
    StatusLine* m_origin;
    QTimer* m_ageTimer;
    QLabel* m_serialNumber;
    QLabel* m_partNumber;
    QLabel* m_firmware;
    StatusChip* m_power;
    StatusChip* m_input;
    StatusChip* m_volume;
    StatusLine* m_pictureFlags = nullptr;
};

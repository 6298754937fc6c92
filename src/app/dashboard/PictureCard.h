#pragma once

#include "app/widgets/Card.h"

class DisplayController;
class ToggleButton;
class ValueSlider;

// Brightness, picture freeze and screen shade.
class PictureCard : public Card {
    Q_OBJECT

public:
    explicit PictureCard(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refresh();

    DisplayController& m_controller;
    ValueSlider* m_brightness;
    ToggleButton* m_freeze;
    ToggleButton* m_shade;
};

#pragma once

#include "app/widgets/Card.h"

class DisplayController;
class ToggleButton;
class ValueSlider;

// Volume (slider, steps, presets), mute and microphone mute.
class AudioCard : public Card {
    Q_OBJECT

public:
    explicit AudioCard(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refresh();

    DisplayController& m_controller;
    ValueSlider* m_volume;
    ToggleButton* m_mute;
    ToggleButton* m_micMute;
};

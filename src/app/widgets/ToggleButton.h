#pragma once

#include "app/widgets/FilledButton.h"

// An on/off switch drawn as a button: an ordinary bordered button while off, filled with its
// tone (white icon and label) while on.
class ToggleButton : public FilledButton {
    Q_OBJECT

public:
    ToggleButton(const QString& text, const QString& symbol, Style::Tone tone,
                 QWidget* parent = nullptr);

protected:
    bool isFilled() const override { return isChecked(); }
};

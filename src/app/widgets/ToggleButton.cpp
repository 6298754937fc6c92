#include "app/widgets/ToggleButton.h"

ToggleButton::ToggleButton(const QString& text, const QString& symbol, Style::Tone tone,
                           QWidget* parent)
    : FilledButton(text, symbol, tone, parent)
{
    setCheckable(true);
}

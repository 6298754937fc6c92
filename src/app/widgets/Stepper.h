#pragma once

#include <QSpinBox>

// A value changed only in fixed steps (arrows, Up/Down keys, the wheel once it has the focus),
// showing a label around
// the number ("alle 5 s", "32 Bytes"). The text itself cannot be typed into, so the value
// never leaves the step grid.
class Stepper : public QSpinBox {
    Q_OBJECT

public:
    Stepper(int minimum, int maximum, int step, const QString& prefix, const QString& suffix,
            QWidget* parent = nullptr);
};

#include "app/widgets/Stepper.h"

#include "app/widgets/WheelGuard.h"

#include <QLineEdit>

Stepper::Stepper(int minimum, int maximum, int step, const QString& prefix, const QString& suffix,
                 QWidget* parent)
    : QSpinBox(parent)
{
    setRange(minimum, maximum);
    setSingleStep(step);
    setPrefix(prefix);
    setSuffix(suffix);
    lineEdit()->setReadOnly(true);
    takeWheelOnlyWithFocus(this);
}

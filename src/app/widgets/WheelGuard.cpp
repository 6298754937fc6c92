#include "app/widgets/WheelGuard.h"

#include <QEvent>
#include <QWidget>

namespace {

class WheelGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        // Ignored and not delivered: the application hands the wheel on to the parents.
        event->ignore();
        return true;
    }
};

} // namespace

void takeWheelOnlyWithFocus(QWidget* control)
{
    // Not Qt::WheelFocus, which would take the focus with the first turn of the wheel.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

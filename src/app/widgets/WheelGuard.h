#pragma once

class QWidget;

// A control that changes a value (picker, slider, stepper) takes the mouse wheel only once the
// user has given it the keyboard focus, by a click or Tab; otherwise the wheel goes on to the
// page under it, which scrolls. Scrolling a page must never change the volume or the baud rate
// of an open line on the way.
void takeWheelOnlyWithFocus(QWidget* control);

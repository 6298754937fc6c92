#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// The text styles and colours that only the dashboard and the terminal use, on top of the
// application-wide ones in app/Style.h.
namespace ViewStyle {

QColor indigo(); // power tiles other than "on"
QColor purple(); // changes the display reported by itself
QColor blue();   // bytes sent

// Fainter than the secondary text: the log's time column.
QColor tertiaryText(const QWidget* widget);
// The secondary colour at 12 % opacity: the resting fill of tiles and segments.
QColor quietFill(const QWidget* widget);

QFont title();        // the display's name in the header
QFont title3();       // values of the header's status chips
QFont subheadline();  // small labels above a control
QFont largeFigures(); // the slider's value: 30 px semibold

} // namespace ViewStyle

#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// The one place for the colours, fonts and style sheets of the user interface. The fonts of the
// Debian desktop (DejaVu, Cantarell) draw digits of equal width already, and Qt 6.4 has no switch
// for the OpenType feature, so "digits of equal width" needs nothing beyond these fonts.
namespace Style {

QColor tint();   // accent: prominent buttons, selected controls
QColor green();  // connected, display responding, data arrives
QColor orange(); // warnings, waiting
QColor red();    // failures, destructive actions
QColor yellow(); // connecting
QColor indigo(); // power tiles other than "on"
QColor purple(); // changes the display reported by itself
QColor blue();   // bytes sent

// The dimmed text colour of the widget's palette (labels under labels, hints).
QColor secondaryText(const QWidget* widget);
// Fainter than the secondary text: the log's time column.
QColor tertiaryText(const QWidget* widget);
// The secondary colour at 12 % opacity: the resting fill of tiles and segments.
QColor quietFill(const QWidget* widget);

QFont monospace(int pointSize = 0); // 0: the application font's size
QFont caption();                    // small explanatory lines
QFont callout();                    // a little smaller than body text (badge, tile titles)
QFont headline();                   // card and section titles, semibold
QFont title();                      // the display's name in the dashboard's header
QFont title3();                     // values of the header's status chips
QFont subheadline();                // small labels above a control
QFont largeFigures();               // the slider's value: 30 px semibold

// "#rrggbb" or "rgba(r,g,b,a)" for use inside style sheets.
QString cssColor(const QColor& color);

// Rounded panel (thin faint outline) for a QFrame with this object name: the dashboard's cards
// (radius 14) and the form sections (radius 8). The selector keeps the sheet from cascading into
// the panel's children.
QString cardStyleSheet(const QString& objectName = QStringLiteral("card"), int radius = 14);

// A label's text colour, leaving its font alone.
void setTextColor(QLabel* label, const QColor& color);
// Caption font plus colour: the many small hint and warning lines.
void makeCaption(QLabel* label, const QColor& color);

// Filled button in the colour (the default action of a row, e.g. "Verbinden").
void makeProminent(QAbstractButton* button, const QColor& color = tint());
// Red text: actions that end something ("Trennen", "Nicht mehr warten").
void makeDestructive(QAbstractButton* button);

} // namespace Style

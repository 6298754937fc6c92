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
//
// Colours are named by their meaning (a tone) and taken from the palette when they are used, so
// that a desktop switching between light and dark themes is followed: what a widget keeps (a
// label's colour, a pictured symbol, a panel's style sheet) is set through the functions below,
// which set it again whenever the widget's palette changes.
namespace Style {

enum class Tone {
    primary,   // the palette's text
    secondary, // dimmed text: labels under labels, hints
    tertiary,  // fainter still: the log's time column
    accent,    // prominent buttons, selected controls
    green,     // connected, display responding, data arrives
    orange,    // warnings, waiting
    red,       // failures, destructive actions
    yellow,    // connecting
    indigo,    // power tiles other than "on"
    purple,    // changes the display reported by itself
    blue,      // bytes sent
};

// Whether the palette (the widget's, else the application's) is a dark one.
bool isDark(const QWidget* widget = nullptr);
// A tone as text or line colour on the widget's background: the signal colours are lighter on a
// dark palette, so that small text in them stays readable.
QColor color(Tone tone, const QWidget* widget = nullptr);
// A tone as the fill behind white text (filled buttons, active tiles): the same on every palette.
QColor fill(Tone tone);

QColor secondaryText(const QWidget* widget);
QColor tertiaryText(const QWidget* widget);
// The secondary colour at 12 % opacity: the resting fill of tiles and segments.
QColor quietFill(const QWidget* widget);
// The faint line around panels.
QColor outline(const QWidget* widget);

QFont monospace(qreal pointSize = 0); // the system's fixed-width face; 0: the user's size
QFont caption();                      // small explanatory lines
QFont callout();                      // a little smaller than body text (badge, tile titles)
QFont headline();                     // card and section titles, semibold
QFont title();                        // the display's name in the dashboard's header
QFont title3();                       // values of the header's status chips
QFont subheadline();                  // small labels above a control
QFont largeFigures();                 // the slider's value, semibold

// "#rrggbb" or "rgba(r,g,b,a)" for use inside style sheets.
QString cssColor(const QColor& color);

// The label's text in the tone.
void setTone(QLabel* label, Tone tone);
// Caption font plus tone: the many small hint and warning lines.
void makeCaption(QLabel* label, Tone tone = Tone::secondary);
// The label shows the symbol at this size in the tone (nothing when the symbol has no picture).
void setSymbol(QLabel* label, const QString& symbol, int size, Tone tone);
// Red text: actions that end something ("Trennen", "Nicht mehr warten").
void makeDestructive(QAbstractButton* button);

// Disables the area (no control in it reacts) but keeps the enabled look of everything in it,
// for an area drawn faded as a whole; `on` false enables it again.
void disableKeepingLook(QWidget* area, bool on);
// Whether a control draws itself disabled: it is disabled, and not only by an area that keeps
// its look.
bool looksDisabled(const QWidget* widget);

} // namespace Style

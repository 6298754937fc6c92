#pragma once

#include "app/style/Style.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The views name their pictures by symbol names ("power", "sun.min", "input.hdmi"); this maps
// them onto the freedesktop icon theme (Adwaita's symbolic icons) and, where the theme has no
// picture that means the same, onto small pictures shipped with the program. Symbolic pictures
// are one-coloured shapes: they are always drawn in a colour chosen here, never in the theme's
// own dark grey, so that they stay visible on a dark palette.

// Whether the symbol has a picture.
bool hasSymbol(const QString& symbolName);

// The symbol for buttons, actions and tabs: drawn, whenever it is shown, in the palette's button
// text colour (or in the tone), greyed out when disabled.
QIcon symbolIcon(const QString& symbolName);
QIcon symbolIcon(const QString& symbolName, Style::Tone tone);

// The symbol drawn in one colour at the size (device-independent pixels); a null pixmap when
// there is no picture.
QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color);

// The symbol of a display input by its id ("hdmi2", "usbc1", "vga1", "ops1", "android").
QString inputSymbol(const QString& inputId);

// Makes the system icon theme reachable on every platform plugin (the offscreen plugin does not
// search /usr/share/icons by itself) and chooses Adwaita when no theme is set.
void installIconSearchPath();

#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The views name their pictures by macOS symbol names; this maps them onto the freedesktop icon
// theme (Adwaita's symbolic icons) so that every view asks for a picture the same way.

// The icon for a symbol name such as "power.circle.fill"; an empty icon for an unknown name or
// when the theme lacks the picture.
QIcon symbolIcon(const QString& symbolName);

// The symbol drawn in one colour (symbolic icons are monochrome, so this recolours the whole
// shape), e.g. for the orange warning lines; a null pixmap when there is no icon.
QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color);

// Makes the system icon theme reachable on every platform plugin (the offscreen plugin does not
// search /usr/share/icons by itself) and chooses Adwaita when no theme is set.
void installIconSearchPath();

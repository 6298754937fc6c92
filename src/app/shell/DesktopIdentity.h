#pragma once

#include <QIcon>

// How the desktop knows the program: the id of its desktop entry, which docks and the
// Wayland compositor match the windows against, and its icon.
void applyDesktopIdentity();

// The installed theme's icon (a theme may replace it), else the copy built into the program,
// so that the window has its icon when started from the build folder too.
QIcon applicationIcon();

#pragma once

#include <QString>

// Pictures of the windows for the documentation, as PNG files in `directory`: the main window at
// the desktop fonts of 9 and 12 pt, in a light and a dark palette (Qt's Fusion style), connected
// to the display simulator and not; at 12 pt also its open port list and both settings tabs.
// Each window runs on a controller and settings store of its own, never the user's.
// Runs its own event loops; returns the process exit code.
int takeScreenshots(const QString& directory);

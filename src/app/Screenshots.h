#pragma once

#include <QString>

class DisplayController;
class MainWindow;

// Pictures of the windows for the documentation: the main window disconnected, its open port
// list, the main window connected to the display simulator, and both settings tabs, as PNG
// files in `directory`.
// Runs its own event loops; returns the process exit code.
int takeScreenshots(MainWindow& window, DisplayController& controller, const QString& directory);

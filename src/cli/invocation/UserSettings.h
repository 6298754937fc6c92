#pragma once

#include "controller/ControllerSettings.h"

#include <QString>

// Where the application keeps its settings: $XDG_CONFIG_HOME/Halvorn/Bildwart.conf.
QString userSettingsPath();

// What the controller keeps, from the application's settings file, read only: the tool
// never writes it. A missing file gives the defaults; an unreadable one gives them too,
// with the reason among the problems.
ControllerSettings::Loaded readUserSettings(const QString& path = userSettingsPath());

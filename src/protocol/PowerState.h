#pragma once

#include "protocol/DisplaySeries.h"

#include <QList>
#include <QString>
#include <optional>

// The display's power state, carried on the line as its raw word.
enum class PowerState { on, ready, standby, powersave, off, updateon, updateready };

const QList<PowerState>& allPowerStates();
QString rawValue(PowerState state);
QString label(PowerState state);
// Icon name of the desktop's symbol set; the user interface maps it to its own theme.
QString symbol(PowerState state);
// Exact, case-sensitive match; anything else is no power state.
std::optional<PowerState> powerStateFromRaw(const QString& raw);
// The states offered for selection; the update states are never offered.
QList<PowerState> availablePowerStates(DisplaySeries series);

#pragma once

#include <QString>
#include <optional>

// The display family. Stored and restored by its raw value ("QX", "RX").
enum class DisplaySeries { qx, rx };

QString rawValue(DisplaySeries series);
std::optional<DisplaySeries> displaySeriesFromRaw(const QString& raw);

// Recognises the series from a model number as reported by "get modelnum".
// "QX" is looked for first, so a text containing both yields qx.
std::optional<DisplaySeries> detectSeries(const QString& model);

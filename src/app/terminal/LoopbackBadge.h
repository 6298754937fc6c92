#pragma once

#include "app/style/Style.h"
#include "linetest/LoopbackStats.h"

#include <QString>
#include <optional>

// The one-glance verdict of the loopback bar on the current run.
struct LoopbackBadge {
    using Tone = Style::Tone;

    QString text;
    QString symbol;
    Tone tone = Tone::secondary;

    bool operator==(const LoopbackBadge&) const = default;

    // "bereit", "Daten kommen an", "nichts zurück" or "66 % in Ordnung" (cut, not rounded).
    static LoopbackBadge of(const LoopbackStats& stats);
};

// The echo delay in whole milliseconds, cut ("12 ms" for 0.0126 s), or "–" without one.
QString loopbackLatencyText(const std::optional<double>& seconds);

#include "app/terminal/LoopbackBadge.h"

#include <QCoreApplication>
#include <cmath>

LoopbackBadge LoopbackBadge::of(const LoopbackStats& stats)
{
    if (stats.sent < 1)
        return {QCoreApplication::translate("LoopbackBadge", "bereit"),
                QStringLiteral("circle.dashed"), Tone::secondary};
    if (stats.ok == stats.sent)
        return {QCoreApplication::translate("LoopbackBadge", "Daten kommen an"),
                QStringLiteral("checkmark.circle.fill"), Tone::green};
    if (stats.ok == 0 && stats.lost == stats.sent)
        return {QCoreApplication::translate("LoopbackBadge", "nichts zurück"),
                QStringLiteral("xmark.octagon.fill"), Tone::red};
    // In integers, so that 29 of 100 reads 29 and not the 28 of 0.29 × 100 in binary floating
    // point.
    const qint64 percent = stats.ok * 100 / stats.sent;
    return {QCoreApplication::translate("LoopbackBadge", "%1 % in Ordnung").arg(percent),
            QStringLiteral("exclamationmark.triangle.fill"), Tone::orange};
}

QString loopbackLatencyText(const std::optional<double>& seconds)
{
    if (!seconds)
        return QStringLiteral("–");
    // A measured delay that is a whole number of milliseconds in decimal (0.029 s) may lie
    // just below it in binary; the tiny allowance keeps the cut from losing a millisecond.
    constexpr double allowance = 1e-9;
    return QCoreApplication::translate("LoopbackBadge", "%1 ms")
        .arg(qint64(std::floor(*seconds * 1000 + allowance)));
}

#include "protocol/PowerState.h"

#include <QCoreApplication>

#include <array>

namespace {

struct PowerStateRow {
    PowerState state;
    const char* raw;
    const char* label;
    const char* symbol;
};

constexpr std::array<PowerStateRow, 7> rows{{
    {PowerState::on, "on", QT_TRANSLATE_NOOP("PowerState", "Ein"), "power.circle.fill"},
    {PowerState::ready, "ready", QT_TRANSLATE_NOOP("PowerState", "Bereit"), "display"},
    {PowerState::standby, "standby", QT_TRANSLATE_NOOP("PowerState", "Standby (Netzwerk)"),
     "moon.fill"},
    {PowerState::powersave, "powersave", QT_TRANSLATE_NOOP("PowerState", "Energiesparen"),
     "leaf.fill"},
    {PowerState::off, "off", QT_TRANSLATE_NOOP("PowerState", "Aus"), "power"},
    {PowerState::updateon, "updateon", QT_TRANSLATE_NOOP("PowerState", "Firmware-Update"),
     "arrow.triangle.2.circlepath"},
    {PowerState::updateready, "updateready",
     QT_TRANSLATE_NOOP("PowerState", "Firmware-Update (Bild aus)"), "arrow.triangle.2.circlepath"},
}};

const PowerStateRow& rowOf(PowerState state)
{
    return rows[static_cast<std::size_t>(state)];
}

} // namespace

const QList<PowerState>& allPowerStates()
{
    static const QList<PowerState> all = [] {
        QList<PowerState> list;
        for (const auto& row : rows)
            list.append(row.state);
        return list;
    }();
    return all;
}

QString rawValue(PowerState state)
{
    return QString::fromLatin1(rowOf(state).raw);
}

QString label(PowerState state)
{
    return QCoreApplication::translate("PowerState", rowOf(state).label);
}

QString symbol(PowerState state)
{
    return QString::fromLatin1(rowOf(state).symbol);
}

std::optional<PowerState> powerStateFromRaw(const QString& raw)
{
    for (const auto& row : rows) {
        if (raw == QLatin1String(row.raw))
            return row.state;
    }
    return std::nullopt;
}

QList<PowerState> availablePowerStates(DisplaySeries series)
{
    using enum PowerState;
    if (series == DisplaySeries::rx)
        return {on, standby, off};
    return {on, ready, standby, powersave, off};
}

#include "protocol/DisplaySetting.h"

#include <algorithm>

double LevelRange::clamped(double value) const
{
    return std::clamp(value, double(minimum), double(maximum));
}

const QList<SettingInfo>& displaySettings()
{
    using S = DisplaySetting;
    using K = SettingKind;
    // Volume and brightness are percentages.
    constexpr LevelRange percent{0, 100};
    static const QList<SettingInfo> table{
        {S::power, QStringLiteral("powerstate"), K::powerState, true, QStringLiteral("on")},
        {S::input, QStringLiteral("input"), K::input, true, QStringLiteral("hdmi1")},
        {S::volume, QStringLiteral("volume"), K::level, true, QStringLiteral("30"), percent},
        {S::mute, QStringLiteral("mute"), K::toggle, true, QStringLiteral("off")},
        {S::micMute, QStringLiteral("micmute"), K::toggle, false, QStringLiteral("off")},
        {S::brightness, QStringLiteral("brightness"), K::level, true, QStringLiteral("80"),
         percent},
        {S::videoFreeze, QStringLiteral("videofreeze"), K::toggle, false, QStringLiteral("off")},
        {S::screenShade, QStringLiteral("screenshade"), K::toggle, false, QStringLiteral("off")},
        {S::stateReporting, QStringLiteral("statereporting"), K::toggle, false,
         QStringLiteral("off")},
        {S::modelNumber, QStringLiteral("modelnum"), K::text, false, QString()},
        {S::serialNumber, QStringLiteral("serialnum"), K::text, false,
         QStringLiteral("SIM0000001")},
        {S::partNumber, QStringLiteral("partnum"), K::text, false, QStringLiteral("1033157 REV A")},
        {S::firmware, QStringLiteral("fwversion"), K::text, false, QStringLiteral("1.07.0021")},
    };
    return table;
}

const SettingInfo& info(DisplaySetting setting)
{
    // The table is in enumeration order.
    return displaySettings().at(qsizetype(setting));
}

QString settingName(DisplaySetting setting)
{
    return info(setting).name;
}

std::optional<DisplaySetting> settingNamed(const QString& name)
{
    const auto& table = displaySettings();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const SettingInfo& row) { return row.name == name; });
    if (found == table.end())
        return std::nullopt;
    return found->setting;
}

QString factoryResetName()
{
    return QStringLiteral("factoryreset");
}

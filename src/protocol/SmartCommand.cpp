#include "protocol/SmartCommand.h"

QString SmartCommand::relative(DisplaySetting setting, qint64 n)
{
    const QChar sign = n < 0 ? u'-' : u'+';
    // Negating the smallest 64-bit value would overflow; its magnitude fits unsigned.
    const quint64 magnitude = n < 0 ? quint64(0) - quint64(n) : quint64(n);
    return QStringLiteral("set ") + ::settingName(setting) + sign + QString::number(magnitude);
}

namespace {

QList<DisplaySetting> settingsWhere(bool (*keep)(const SettingInfo&))
{
    QList<DisplaySetting> settings;
    for (const SettingInfo& row : displaySettings()) {
        if (keep(row))
            settings.append(row.setting);
    }
    return settings;
}

} // namespace

QList<DisplaySetting> SmartCommand::cyclicPoll()
{
    return settingsWhere([](const SettingInfo& row) { return row.polled; });
}

QList<DisplaySetting> SmartCommand::statusQueries()
{
    return settingsWhere([](const SettingInfo& row) { return row.writable(); });
}

QList<DisplaySetting> SmartCommand::infoQueries()
{
    return settingsWhere([](const SettingInfo& row) { return !row.writable(); });
}

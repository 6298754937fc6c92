#include "protocol/SmartCommand.h"

namespace {

QString trimSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

} // namespace

QString SmartCommand::relative(DisplaySetting setting, qint64 n)
{
    const QChar sign = n < 0 ? u'-' : u'+';
    // Negating the smallest 64-bit value would overflow; its magnitude fits unsigned.
    const quint64 magnitude = n < 0 ? quint64(0) - quint64(n) : quint64(n);
    return QStringLiteral("set ") + ::settingName(setting) + sign + QString::number(magnitude);
}

bool SmartCommand::isSet(const QString& text)
{
    return text.startsWith(QStringLiteral("set "), Qt::CaseInsensitive);
}

std::optional<QString> SmartCommand::settingName(const QString& text)
{
    const qsizetype space = text.indexOf(u' ');
    if (space < 0)
        return std::nullopt;
    const QStringView remainder = QStringView(text).mid(space + 1);
    if (remainder.isEmpty())
        return std::nullopt;

    qsizetype cut = remainder.size();
    for (qsizetype i = 0; i < remainder.size(); ++i) {
        const QChar c = remainder[i];
        if (c == u'=' || c == u'+' || c == u'-') {
            cut = i;
            break;
        }
    }
    return trimSpacesAndTabs(remainder.first(cut)).toLower();
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

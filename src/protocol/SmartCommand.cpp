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

QString SmartCommand::relative(const QString& name, qint64 n)
{
    const QChar sign = n < 0 ? u'-' : u'+';
    // Negating the smallest 64-bit value would overflow; its magnitude fits unsigned.
    const quint64 magnitude = n < 0 ? quint64(0) - quint64(n) : quint64(n);
    return QStringLiteral("set ") + name + sign + QString::number(magnitude);
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

const QStringList& SmartCommand::cyclicPoll()
{
    static const QStringList names{"powerstate", "input", "volume", "mute", "brightness"};
    return names;
}

const QStringList& SmartCommand::statusQueries()
{
    static const QStringList names{"powerstate",  "input",       "volume",
                                   "mute",        "micmute",     "brightness",
                                   "videofreeze", "screenshade", "statereporting"};
    return names;
}

const QStringList& SmartCommand::infoQueries()
{
    static const QStringList names{"modelnum", "serialnum", "partnum", "fwversion"};
    return names;
}

#include "app/widgets/RelativeTime.h"

QString relativeTimeText(qint64 secondsAgo)
{
    constexpr qint64 minute = 60;
    constexpr qint64 hour = 60 * minute;
    constexpr qint64 day = 24 * hour;

    if (secondsAgo < 1)
        return QStringLiteral("gerade eben");
    if (secondsAgo < minute)
        return QStringLiteral("vor %1 s").arg(secondsAgo);
    if (secondsAgo < hour)
        return QStringLiteral("vor %1 min").arg(secondsAgo / minute);
    if (secondsAgo < day)
        return QStringLiteral("vor %1 h").arg(secondsAgo / hour);
    const qint64 days = secondsAgo / day;
    return days == 1 ? QStringLiteral("vor 1 Tag") : QStringLiteral("vor %1 Tagen").arg(days);
}

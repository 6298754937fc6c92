#include "app/widgets/RelativeTime.h"

#include <QCoreApplication>

QString relativeTimeText(qint64 secondsAgo)
{
    constexpr qint64 minute = 60;
    constexpr qint64 hour = 60 * minute;
    constexpr qint64 day = 24 * hour;

    if (secondsAgo < 1)
        return QCoreApplication::translate("RelativeTime", "gerade eben");
    if (secondsAgo < minute)
        return QCoreApplication::translate("RelativeTime", "vor %1 s").arg(secondsAgo);
    if (secondsAgo < hour)
        return QCoreApplication::translate("RelativeTime", "vor %1 min").arg(secondsAgo / minute);
    if (secondsAgo < day)
        return QCoreApplication::translate("RelativeTime", "vor %1 h").arg(secondsAgo / hour);
    const qint64 days = secondsAgo / day;
    return days == 1 ? QCoreApplication::translate("RelativeTime", "vor 1 Tag")
                     : QCoreApplication::translate("RelativeTime", "vor %1 Tagen").arg(days);
}

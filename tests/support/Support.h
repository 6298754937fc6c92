#pragma once

#include <QEventLoop>
#include <QLocale>
#include <QString>
#include <QTimer>
#include <cstring>
#include <functional>

// Small things many tests need.

// Generous: CI is a noisy two-core machine, also under sanitizers.
inline constexpr int waitMs = 10'000;

// The system's text for an errno value, as the program's messages end.
inline QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

// Number formats as a German user sees them ("1,5 s").
inline void useGermanLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

// Runs the event loop until `done` holds, at most waitMs. Unlike QTest::qWaitFor it does
// not sleep between turns, so a line that floods the loop is read at full speed.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = waitMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

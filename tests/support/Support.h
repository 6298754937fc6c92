#pragma once

#include "simulator/SimulatedDisplay.h"

#include <QByteArray>
#include <QEventLoop>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>

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

// Cuts what a display receives into command lines; CR LF ends one line, not two.
class CommandLines {
public:
    QStringList feed(QByteArrayView bytes)
    {
        QStringList completed;
        for (const char c : bytes) {
            if (c == '\n' && m_lastWasCr) {
                m_lastWasCr = false;
            } else if (c == '\r' || c == '\n') {
                m_lastWasCr = c == '\r';
                completed.append(QString::fromUtf8(std::exchange(m_partial, {})));
            } else {
                m_lastWasCr = false;
                m_partial.append(c);
            }
        }
        return completed;
    }

private:
    QByteArray m_partial;
    bool m_lastWasCr = false;
};

// The simulator's display without its pseudo-terminal: it keeps what it is set to.
inline std::function<QByteArray(const QString&)> simulatedDisplay()
{
    auto display = std::make_shared<SimulatedDisplay>(DisplaySeries::qx);
    return [display](const QString& line) { return display->handleLine(line.trimmed()); };
}

// A display that shows its prompt after every line, so no command waits for a timeout.
inline QByteArray promptOnly(const QString&)
{
    return QByteArrayLiteral("\r\n>");
}

// Answers queries like a display: volume 30, every other value 1; a set with its value.
inline QByteArray answerEverything(const QString& line)
{
    if (line.startsWith(u"set ") && line.contains(u'='))
        return QStringLiteral("\r\n%1\r\n>").arg(line.mid(4)).toUtf8();
    if (!line.startsWith(u"get "))
        return promptOnly(line);
    const QString name = line.mid(4);
    return QStringLiteral("\r\n%1=%2\r\n>").arg(name, name == u"volume" ? u"30" : u"1").toUtf8();
}

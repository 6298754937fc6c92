#pragma once

#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"

#include <QTest>

// A controller connected through a pseudo-terminal to a display the test scripts.
struct LineFixture : ControllerFixture {
    Pty pty;
    ScriptedDisplay display{pty};

    // Answers like a display: a query with name=value, everything else with the prompt.
    static QByteArray answerEverything(const QString& line)
    {
        if (line.startsWith(u"get ")) {
            const QString name = line.mid(4);
            const QString value = name == u"volume" ? QStringLiteral("30") : QStringLiteral("1");
            return QStringLiteral("\r\n%1=%2\r\n>").arg(name, value).toUtf8();
        }
        return "\r\n>";
    }

    DisplayController& connect(SerialSettings settings = SerialSettings::smartStandard())
    {
        scanner->list(pty.slavePath());
        DisplayController& c = make();
        c.setSettings(settings);
        c.setSelectedPath(pty.slavePath());
        c.connect();
        return c;
    }

    // Connected, every start-up query answered, nothing queued or waiting.
    bool waitUntilIdle(int expectedLines)
    {
        return QTest::qWaitFor(
            [&] {
                return display.lines.size() >= expectedLines && controller->queue().isEmpty() &&
                       !controller->current();
            },
            10000);
    }
};

// The empty command, the four information and the nine status queries.
inline constexpr int startupCommandCount = 14;

#pragma once

#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"

#include <unistd.h>

// A display that shows its prompt after every line, so no command waits for a timeout.
inline QByteArray promptOnly(const QString&)
{
    return QByteArrayLiteral("\r\n>");
}

// Answers like a display: a query with name=value (volume 30, all else 1), other lines with the
// prompt.
inline QByteArray answerEverything(const QString& line)
{
    if (!line.startsWith(u"get "))
        return promptOnly(line);
    const QString name = line.mid(4);
    return QStringLiteral("\r\n%1=%2\r\n>").arg(name, name == u"volume" ? u"30" : u"1").toUtf8();
}

// The adapter's stable name, as udev's by-id link gives it: it stays the same while the
// device node behind it changes when the adapter comes back.
class AdapterLink {
public:
    const QString& path() const { return m_path; }
    bool pointTo(const QString& target)
    {
        const QByteArray link = m_path.toLocal8Bit();
        ::unlink(link.constData());
        return ::symlink(target.toLocal8Bit().constData(), link.constData()) == 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("usb-Test-if00"));
};

// A stand-in adapter: the pseudo-terminal and the display answering on it. Pulling it
// silences the display first, so nothing watches a descriptor that is gone.
struct Adapter {
    Pty pty;
    std::unique_ptr<ScriptedDisplay> display =
        std::make_unique<ScriptedDisplay>(pty.master(), promptOnly);

    void pull()
    {
        display.reset();
        pty.closeAll();
    }
};

// A controller connected through a pseudo-terminal to a display the test scripts (silent
// unless the test gives it a script).
struct LineFixture : ControllerFixture {
    Pty pty;
    ScriptedDisplay display{pty.master()};

    DisplayController& connect(SerialSettings settings = SerialSettings::smartStandard())
    {
        make().setSettings(settings);
        return connectTo(pty.slavePath());
    }
};

#pragma once

#include "Pty.h"
#include "ScriptedDisplay.h"

#include <QTemporaryDir>
#include <memory>
#include <unistd.h>

// A display that shows its prompt after every line, so no command waits for a timeout.
inline QByteArray promptOnly(const QString&)
{
    return QByteArrayLiteral("\r\n>");
}

// The adapter's stable name, as udev's by-id link gives it: it stays the same while the
// device node behind it changes when the adapter comes back.
class AdapterLink {
public:
    AdapterLink()
        : m_path(m_dir.filePath(QStringLiteral("usb-Test-if00")))
    {
    }
    const QString& path() const { return m_path; }

    bool pointTo(const QString& target)
    {
        const QByteArray link = m_path.toLocal8Bit();
        ::unlink(link.constData());
        return ::symlink(target.toLocal8Bit().constData(), link.constData()) == 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// A stand-in adapter: the pseudo-terminal and the display answering on it. Pulling it
// silences the display first, so nothing watches a descriptor that is gone.
struct Adapter {
    Pty pty;
    std::unique_ptr<ScriptedDisplay> display = std::make_unique<ScriptedDisplay>(pty, promptOnly);

    void pull()
    {
        display.reset();
        pty.closeAll();
    }
};

#pragma once

#include "Support.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <functional>

// Plays the display on a pseudo-terminal's master side: collects command lines, answers them.
class ScriptedDisplay : public QObject {
public:
    // The answer to one command line; nothing for a silent display.
    using Script = std::function<QByteArray(const QString& line)>;

    explicit ScriptedDisplay(int fd, Script script = {});

    void setScript(Script script) { m_script = std::move(script); }

    // Every command line received, in order (without the line ending).
    QStringList lines;

private:
    void readLines();

    int m_fd;
    Script m_script;
    QSocketNotifier m_notifier;
    CommandLines m_commandLines;
};

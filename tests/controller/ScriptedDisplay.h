#pragma once

#include "Pty.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <fcntl.h>
#include <functional>

// Plays the display on the master side of a pseudo-terminal, on the main thread:
// collects the command lines the controller writes and answers them as the test says.
class ScriptedDisplay : public QObject {
    Q_OBJECT

public:
    // The answer to one command line; nothing for a silent display.
    using Script = std::function<QByteArray(const QString& line)>;

    explicit ScriptedDisplay(Pty& pty, Script script = {})
        : m_pty(pty)
        , m_script(std::move(script))
        , m_notifier(pty.master(), QSocketNotifier::Read)
    {
        ::fcntl(pty.master(), F_SETFL, ::fcntl(pty.master(), F_GETFL) | O_NONBLOCK);
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readMaster(); });
    }

    void setScript(Script script) { m_script = std::move(script); }
    // A peer that stops reading lets the line's buffer fill up.
    void setReading(bool on) { m_notifier.setEnabled(on); }
    // Answers after this delay instead of at once (the time the display takes).
    void setAnswerDelay(int milliseconds) { m_answerDelayMs = milliseconds; }

    void write(const QByteArray& bytes)
    {
        if (m_pty.master() >= 0)
            (void)!::write(m_pty.master(), bytes.constData(), size_t(bytes.size()));
    }

    // Every command line received, in order (without the line ending).
    QStringList lines;
    // Raw bytes received.
    QByteArray received;
    // A line arrived while the previous one was not yet answered.
    bool overlapped = false;

signals:
    void lineReceived(const QString& line);

private:
    void readMaster();
    void handleLine(const QString& line);

    Pty& m_pty;
    Script m_script;
    QSocketNotifier m_notifier;
    QByteArray m_line;
    bool m_lastWasCr = false;
    int m_pending = 0;
    int m_answerDelayMs = 0;
};

#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <functional>

// Plays the display on the test's end of a line (a pseudo-terminal's master side), on the main
// thread: collects the command lines the controller writes and answers them as the test says.
class ScriptedDisplay : public QObject {
public:
    // The answer to one command line; nothing for a silent display.
    using Script = std::function<QByteArray(const QString& line)>;

    explicit ScriptedDisplay(int fd, Script script = {});

    void setScript(Script script) { m_script = std::move(script); }
    // A peer that stops reading lets the line's buffer fill up.
    void setReading(bool on) { m_notifier.setEnabled(on); }
    // Answers after this delay instead of at once (the time the display takes).
    void setAnswerDelay(int milliseconds) { m_answerDelayMs = milliseconds; }
    void write(const QByteArray& bytes);

    // Every command line received, in order (without the line ending).
    QStringList lines;
    // Raw bytes received.
    QByteArray received;
    // A line arrived while the previous one was not yet answered.
    bool overlapped = false;

private:
    void readLines();
    void handleLine(const QString& line);

    int m_fd;
    Script m_script;
    QSocketNotifier m_notifier;
    QByteArray m_line;
    bool m_lastWasCr = false;
    int m_pending = 0;
    int m_answerDelayMs = 0;
};

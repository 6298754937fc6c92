#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Where the tool writes: results on stdout, errors and the -v log on stderr. Every
// line goes out at once, so that a pipe or a log file follows a running monitor. A
// result that cannot be written (a full disk, a closed stdout, a reader that went
// away) is a failure of the run, never lost in silence.
class Console {
public:
    // `stdoutUsable` is false when the program started with stdout closed.
    explicit Console(bool stdoutUsable = true);

    void out(const QString& line);
    void outBytes(const QByteArray& bytes);
    void err(const QString& line);

    // The errno of the first output that could not be written; 0 while all went out.
    int outputError() const { return m_outputError; }
    // The German line that says so.
    QString outputErrorText() const;
    // Called once, at the first output that could not be written.
    std::function<void()> onOutputFailed;

private:
    int m_outputError = 0;
    bool m_failureReported = false;
};

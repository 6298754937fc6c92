#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>

// Where the tool writes: results on stdout, errors and the -v log on stderr. Every
// line goes out at once, so that a pipe or a log file follows a running monitor. A
// result that cannot be written (a full disk, a closed stdout, a reader that went
// away) is a failure of the run, never lost in silence. Text comes from displays,
// files and paths: control characters in it are shown escaped, never passed to the
// terminal.
class Console {
public:
    // `stdoutUsable` is false when the program started with stdout closed.
    explicit Console(bool stdoutUsable = true);
    virtual ~Console() = default;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // A result line for people.
    virtual void out(const QString& line);
    // A result as one compact JSON object on a line.
    virtual void outJson(const QJsonObject& object);
    void outJson(const QJsonArray& array);
    // Bytes as they are (help text; a display's raw answer when stdout is no terminal).
    virtual void outBytes(const QByteArray& bytes);
    // An error or a warning of the run.
    virtual void err(const QString& line);
    // A line of the traffic log (-v).
    virtual void log(const QString& line) { err(line); }

    // Whether stdout is a terminal: raw bytes are escaped for it.
    bool outIsTerminal() const { return m_outIsTerminal; }

    // The errno of the first output that could not be written; 0 while all went out.
    int outputError() const { return m_outputError; }
    // The German line that says so.
    QString outputErrorText() const;
    // Called once, at the first output that could not be written.
    std::function<void()> onOutputFailed;

protected:
    // For a console that keeps what it is given instead of writing it.
    struct Keeping {};
    explicit Console(Keeping);

private:
    int m_outputError = 0;
    bool m_failureReported = false;
    bool m_outIsTerminal = false;
};

// Text with every control character but tab and line feed written visibly: "\x1b",
// "\0", "\r". A terminal shown such text does nothing it did not ask for.
QString visibleText(const QString& text);

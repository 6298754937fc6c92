#pragma once

#include "cli/invocation/ExitCode.h"
#include "cli/invocation/Invocation.h"
#include "cli/output/Console.h"
#include "controller/ControllerSettings.h"
#include "controller/LogEntry.h"
#include "protocol/SmartEvent.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class DisplayController;

// One run of a command against one line: the controller on the user's stored settings
// with this call's options over them, the traffic log with -v, and the waits a command
// needs (the line idle, the line lost). A fleet runs many at once on one event loop.
// Everything happens on the event loop; nothing waits by spinning.
class Session : public QObject {
    Q_OBJECT

public:
    // Called once with the exit code when the run has ended and its line is closed.
    using Ended = std::function<void(int code)>;

    // `ended` by default ends the event loop with the code.
    Session(Invocation invocation, Console& console, Ended ended = {});
    ~Session() override;

    // The stored settings to use instead of reading the user's file (a fleet reads it once).
    void useStoredSettings(const ControllerSettings::Loaded& loaded) { m_stored = loaded; }

    const Invocation& invocation() const { return m_invocation; }
    Console& console() { return m_console; }

    // Builds the controller on the user's stored settings (read, never written) with this
    // call's line options over them; no start-up connection, no hot-plug reactions, no
    // reconnection. Polling stays as stored only when `keepPolling` is set. Connecting
    // asks for the prompt only, and for every value too with `fullRefresh`. Reports a
    // failure and ends the run.
    bool prepare(bool keepPolling, bool fullRefresh = false);
    DisplayController& controller() { return *m_controller; }

    // Opens the port given with -p, or else the one connected last, and runs
    // `connected` once the line is open. In raw mode no query goes out. Reports a
    // failure (exit 3; exit 2 when no port is known) and ends the run; a line lost
    // later ends it the same way.
    void connectLine(bool rawMode, std::function<void()> connected);

    // Runs `then` once, as soon as the queue is empty and no command waits for its
    // prompt.
    void whenIdle(std::function<void()> then);

    // Ends the run with exit 1 when a command times out before the display has sent
    // a single byte: every further command would only time out as well.
    void setGiveUpOnSilence(bool on) { m_giveUpOnSilence = on; }

    // The traffic log on stderr; on with -v.
    void setLogOnStderr(bool on) { m_logOnStderr = on; }

    // The texts of the first error entries logged since the last call.
    QStringList takeErrors() { return std::exchange(m_errors, {}); }
    // One line on stderr: the first error and how many followed (with -v the log above
    // has every one).
    void reportErrors(const QStringList& errors);
    // The same line as a warning, for errors that do not fail the run.
    void reportWarnings(const QStringList& errors);

    // What Ctrl+C, SIGTERM and SIGHUP do: the command's handler, if it has one, ends its
    // work its own way (a summary, say); the run then ends with 128 + the signal's number,
    // after the line is closed, whatever code the command finishes with.
    void setTerminationHandler(std::function<void()> handler)
    {
        m_terminationHandler = std::move(handler);
    }
    void terminate(int signalNumber);
    // The signal that ended the run; 0 for none.
    int signalNumber() const { return m_signal; }

    // Whether a command of this run timed out: worth a retry, like an unreachable line.
    bool timedOut() const { return m_timedOut; }

    // Ends the run: closes the line and makes the event loop return `code`. Runs
    // from the event loop, never inside one of the controller's signals. The first
    // call wins.
    void finish(ExitCode code) { finish(int(code)); }
    void finish(int code);
    bool isFinishing() const { return m_finishing; }

signals:
    // Every entry the controller logs.
    void entryAppended(const LogEntry& entry);

private:
    void onLogAppended(int count);
    void onConnectionChanged();
    void scheduleIdleCheck();
    void checkIdle();
    void checkLine();
    void checkSilence();
    void post(std::function<void()> step);

    Invocation m_invocation;
    Console& m_console;
    Ended m_ended;
    std::optional<ControllerSettings::Loaded> m_stored;
    std::unique_ptr<DisplayController> m_controller;
    QString m_lastPortPath; // from the stored settings: used without -p

    std::function<void()> m_terminationHandler;
    int m_signal = 0;
    bool m_timedOut = false;
    std::function<void()> m_connected;
    QStringList m_errors;
    QString m_lastError;
    std::function<void()> m_idleThen;
    bool m_idleCheckPending = false;
    bool m_giveUpOnSilence = false;
    bool m_logOnStderr = false;
    bool m_lineWatched = false;
    bool m_finishing = false;
};

#pragma once

#include "cli/invocation/ExitCode.h"
#include "cli/invocation/Invocation.h"
#include "cli/output/Console.h"
#include "controller/LogEntry.h"
#include "process/TerminationSignals.h"
#include "protocol/SmartEvent.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class DisplayController;

// One run of the tool: the controller on the user's stored settings with this call's
// options over them, the traffic log on stderr with -v, and the waits a command needs
// (the line idle, the line lost). Everything happens on the event loop; nothing waits by
// spinning.
class Session : public QObject {
    Q_OBJECT

public:
    Session(Invocation invocation, Console& console);
    ~Session() override;

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

    // What Ctrl+C, SIGTERM and SIGHUP do: by default the run ends with 128 + the signal's
    // number, after the line is closed; a command that runs until stopped ends its own way.
    void setTerminationHandler(std::function<void()> handler)
    {
        m_terminationHandler = std::move(handler);
    }

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
    std::unique_ptr<DisplayController> m_controller;
    QString m_lastPortPath; // from the stored settings: used without -p

    TerminationSignals m_signals;
    std::function<void()> m_terminationHandler;
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

#include "cli/commands/Session.h"

#include "cli/invocation/UserSettings.h"
#include "cli/output/LogLine.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "controller/TrafficLog.h"
#include "discovery/PortScanner.h"

#include <QCoreApplication>

namespace {

// Errors kept for the report at the end of a phase: the first ones name the cause,
// and a long run against a dead line must not grow memory with each timeout.
constexpr qsizetype maxKeptErrors = 20;
// The tool writes every log entry out (or looks at it) as it comes and keeps none for
// later; a short history bounds what a flooding peer can make it hold.
constexpr int keptLogEntries = 100;

} // namespace

Session::Session(Invocation invocation, Console& console, Ended ended)
    : m_invocation(std::move(invocation))
    , m_console(console)
    , m_ended(ended ? std::move(ended) : Ended([](int code) { QCoreApplication::exit(code); }))
    , m_logOnStderr(m_invocation.verbose)
{
    m_console.onOutputFailed = [this] { finish(ExitCode::displayFailed); };
}

Session::~Session() = default;

void Session::terminate(int signalNumber)
{
    if (m_signal != 0 || m_finishing)
        return;
    m_signal = signalNumber;
    if (m_terminationHandler)
        m_terminationHandler();
    else
        finish(ExitCode::displayFailed); // replaced by the signal's code
}

bool Session::prepare(bool keepPolling, bool fullRefresh)
{
    // A damaged or unreadable store falls back to defaults, which may not be the line's:
    // always worth a word (a fleet says it once, for all its displays).
    const ControllerSettings::Loaded loaded = m_stored ? *m_stored : readUserSettings();
    if (!m_stored) {
        for (const QString& problem : loaded.problems)
            m_console.err(tr("Warnung: %1").arg(problem));
    }
    ControllerSettings stored = loaded.settings;
    m_lastPortPath = stored.lastPortPath;
    stored.serial = m_invocation.applyTo(stored.serial);
    // A one-shot run reports a lost line instead of waiting for the adapter.
    stored.autoReconnect = false;
    stored.pollingEnabled = stored.pollingEnabled && keepPolling;
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    options.refreshAtConnect = fullRefresh;
    options.logCapacity = keptLogEntries;
    // Only "ports" needs the system's port list; the others open the port they are given,
    // without asking udev about every device first.
    if (m_invocation.command != Invocation::Command::ports)
        options.scanner = std::make_shared<NoPortScanner>();
    m_controller = std::make_unique<DisplayController>(stored, options);
    DisplayController& c = *m_controller;

    QObject::connect(&c.log(), &TrafficLog::appended, this, &Session::onLogAppended);
    QObject::connect(&c.pump(), &CommandPump::queueChanged, this, &Session::scheduleIdleCheck);
    // The timeout's log entry is written by then; looked at from the event loop.
    QObject::connect(&c.pump(), &CommandPump::finished, this, [this](const CommandResult& result) {
        if (result.outcome == CommandResult::Outcome::timedOut) {
            m_timedOut = true;
            post([this] { checkSilence(); });
        }
    });
    QObject::connect(&c.line(), &LineSession::connectionChanged, this,
                     &Session::onConnectionChanged);
    return true;
}

void Session::connectLine(bool rawMode, std::function<void()> connected)
{
    DisplayController& c = *m_controller;
    const QString path = m_invocation.port.value_or(m_lastPortPath);
    if (path.isEmpty()) {
        m_console.err(
            tr("Keine Schnittstelle angegeben und keine zuletzt verbundene bekannt – mit -p "
               "angeben, z. B. -p /dev/ttyUSB0 oder -p simulator://smart."));
        finish(ExitCode::usage);
        return;
    }
    if (rawMode)
        c.pump().setRawMode(true);
    c.ports().select(path);
    m_connected = std::move(connected);
    c.connectLine();
}

void Session::onConnectionChanged()
{
    const ConnectionState& state = m_controller->line().connection();
    if (m_connected && state.is(ConnectionState::Case::connected)) {
        m_lineWatched = true;
        // From the event loop: the controller is still in the middle of connecting.
        post(std::exchange(m_connected, nullptr));
        return;
    }
    if (m_connected && state.is(ConnectionState::Case::failed)) {
        m_connected = nullptr;
        m_errors.clear(); // the same text as the state's reason
        m_console.err(state.reason);
        finish(ExitCode::portFailed);
        return;
    }
    post([this] { checkLine(); });
}

void Session::whenIdle(std::function<void()> then)
{
    m_idleThen = std::move(then);
    scheduleIdleCheck();
}

void Session::scheduleIdleCheck()
{
    // The pump takes a command off the queue before it sets it current; looking from
    // the event loop never catches that moment.
    if (m_idleCheckPending || !m_idleThen)
        return;
    m_idleCheckPending = true;
    post([this] {
        m_idleCheckPending = false;
        checkIdle();
    });
}

void Session::checkIdle()
{
    const DisplayController& c = *m_controller;
    // A lost line empties the queue too; that is no answer.
    if (!m_idleThen || m_finishing || !c.line().connection().is(ConnectionState::Case::connected))
        return;
    // A silent line's queue empties at its first timeout: that is silence, not answers.
    if (m_timedOut && m_giveUpOnSilence && !c.line().hearsBytes()) {
        checkSilence();
        return;
    }
    if (c.pump().isIdle())
        std::exchange(m_idleThen, nullptr)();
}

void Session::checkLine()
{
    if (!m_lineWatched || m_finishing ||
        m_controller->line().connection().is(ConnectionState::Case::connected))
        return;
    // The loss is the last error logged ("Verbindung zum Wandler abgerissen: …").
    m_console.err(m_lastError.isEmpty() ? m_controller->line().connection().reason : m_lastError);
    finish(ExitCode::portFailed);
}

void Session::checkSilence()
{
    if (!m_giveUpOnSilence || m_finishing || m_controller->line().hearsBytes())
        return;
    reportErrors(takeErrors());
    finish(ExitCode::displayFailed);
}

void Session::onLogAppended(int count)
{
    // Copied first: whoever handles an entry may log more, or push old entries out.
    const LogBuffer& log = m_controller->log().entries();
    QList<LogEntry> fresh;
    for (int i = std::max(0, log.size() - count); i < log.size(); ++i)
        fresh.append(log.at(i));
    for (const LogEntry& entry : fresh) {
        if (m_logOnStderr)
            m_console.log(logLine(entry, m_invocation.hex));
        if (entry.kind == LogEntry::Kind::error) {
            m_lastError = entry.text;
            if (m_errors.size() < maxKeptErrors)
                m_errors.append(entry.text);
        }
        emit entryAppended(entry);
    }
}

void Session::reportErrors(const QStringList& errors)
{
    if (errors.isEmpty())
        return;
    if (errors.size() == 1) {
        m_console.err(errors.first());
        return;
    }
    const QString more = QString::number(errors.size() - 1);
    m_console.err(m_logOnStderr
                      ? tr("%1 (und %2 weitere Fehler)").arg(errors.first(), more)
                      : tr("%1 (und %2 weitere Fehler, -v zeigt alle)").arg(errors.first(), more));
}

void Session::reportWarnings(const QStringList& errors)
{
    if (errors.isEmpty())
        return;
    QStringList warnings = errors;
    warnings.first() = tr("Warnung: %1").arg(warnings.first());
    reportErrors(warnings);
}

void Session::finish(int code)
{
    if (m_finishing)
        return;
    m_finishing = true;
    if (m_signal != 0)
        code = 128 + m_signal;
    post([this, code] {
        if (m_controller && m_controller->line().connection().is(ConnectionState::Case::connected))
            m_controller->disconnectLine();
        m_ended(code);
    });
}

void Session::post(std::function<void()> step)
{
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

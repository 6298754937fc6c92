#include "cli/commands/Session.h"
#include "controller/StoreKeys.h"

#include "cli/commands/SettingsSnapshot.h"
#include "cli/output/LogLine.h"
#include "controller/DisplayController.h"
#include "discovery/PortScanner.h"

#include <QCoreApplication>

namespace {

class NoPorts final : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return {}; }
    QList<UnboundAdapter> scanAdapters() override { return {}; }
};

// Errors kept for the report at the end of a phase: the first ones name the cause,
// and a long run against a dead line must not grow memory with each timeout.
constexpr qsizetype maxKeptErrors = 20;
// The tool writes every log entry out (or looks at it) as it comes and keeps none for
// later; a short history bounds what a flooding peer can make it hold.
constexpr int keptLogEntries = 100;

} // namespace

Session::Session(Invocation invocation, Console& console)
    : m_invocation(std::move(invocation))
    , m_console(console)
    , m_logOnStderr(m_invocation.verbose)
{
    QObject::connect(&m_signals, &TerminationSignals::received, this, [this](int signalNumber) {
        if (m_terminationHandler)
            m_terminationHandler();
        else
            finish(128 + signalNumber);
    });
    m_console.onOutputFailed = [this] { finish(ExitCode::displayFailed); };
}

Session::~Session() = default;

bool Session::prepare(bool keepPolling, bool fullRefresh)
{
    m_snapshot = std::make_unique<SettingsSnapshot>();
    if (!m_snapshot->isValid()) {
        m_console.err(QStringLiteral("Keine Arbeitskopie der Einstellungen m\u00F6glich: ") +
                      m_snapshot->errorText());
        finish(ExitCode::displayFailed);
        return false;
    }
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    options.refreshAtConnect = fullRefresh;
    options.logCapacity = keptLogEntries;
    // Only "ports" needs the system's port list; the others open the port they are given,
    // without asking udev about every device first.
    if (m_invocation.command != Invocation::Command::ports)
        options.scanner = std::make_shared<NoPorts>();
    m_controller = std::make_unique<DisplayController>(m_snapshot->store(), options);
    DisplayController& c = *m_controller;
    // A one-shot run reports a lost line instead of waiting for the adapter.
    c.setAutoReconnect(false);
    if (!keepPolling)
        c.setPollingEnabled(false);
    c.setSettings(m_invocation.applyTo(c.settings()));

    QObject::connect(&c, &DisplayController::logAppended, this, &Session::onLogAppended);
    QObject::connect(&c, &DisplayController::queueChanged, this, &Session::scheduleIdleCheck);
    QObject::connect(&c, &DisplayController::currentChanged, this, &Session::scheduleIdleCheck);
    // The timeout's log entry follows the counter's change; look once it is there.
    QObject::connect(&c, &DisplayController::timeoutsChanged, this,
                     [this] { post([this] { checkSilence(); }); });
    QObject::connect(&c, &DisplayController::connectionChanged, this,
                     &Session::onConnectionChanged);
    QObject::connect(&c, &DisplayController::displayEvent, this,
                     [this](const SmartEvent& event) { m_reported.record(event); });
    return true;
}

void Session::connectLine(bool rawMode, std::function<void()> connected)
{
    DisplayController& c = *m_controller;
    const QString path =
        m_invocation.port.value_or(m_snapshot->store().value(StoreKeys::lastPortPath).toString());
    if (path.isEmpty()) {
        m_console.err(QStringLiteral(
            "Keine Schnittstelle angegeben und keine zuletzt verbundene bekannt \u2013 mit -p "
            "angeben, z. B. -p /dev/ttyUSB0 oder -p simulator://smart."));
        finish(ExitCode::usage);
        return;
    }
    if (rawMode)
        c.setRawMode(true);
    c.setSelectedPath(path);
    m_connected = std::move(connected);
    c.connectLine();
}

void Session::onConnectionChanged()
{
    const ConnectionState& state = m_controller->connection();
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
    if (!m_idleThen || m_finishing || !c.connection().is(ConnectionState::Case::connected))
        return;
    if (c.queue().isEmpty() && !c.current())
        std::exchange(m_idleThen, nullptr)();
}

void Session::checkLine()
{
    if (!m_lineWatched || m_finishing ||
        m_controller->connection().is(ConnectionState::Case::connected))
        return;
    // The loss is the last error logged ("Verbindung zum Wandler abgerissen: …").
    m_console.err(m_lastError.isEmpty() ? m_controller->connection().reason : m_lastError);
    finish(ExitCode::portFailed);
}

void Session::checkSilence()
{
    if (!m_giveUpOnSilence || m_finishing || m_controller->displayResponding())
        return;
    reportErrors(takeErrors());
    finish(ExitCode::displayFailed);
}

void Session::onLogAppended(int count)
{
    // Copied first: whoever handles an entry may log more, or push old entries out.
    const LogBuffer& log = m_controller->log();
    QList<LogEntry> fresh;
    for (int i = std::max(0, log.size() - count); i < log.size(); ++i)
        fresh.append(log.at(i));
    for (const LogEntry& entry : fresh) {
        if (m_logOnStderr)
            m_console.err(logLine(entry, m_invocation.hex));
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
    QString line = errors.first();
    if (errors.size() > 1)
        line += QStringLiteral(" (und %1 weitere Fehler%2)")
                    .arg(errors.size() - 1)
                    .arg(m_logOnStderr ? QString() : QStringLiteral(", -v zeigt alle"));
    m_console.err(line);
}

void Session::finish(int code)
{
    if (m_finishing)
        return;
    m_finishing = true;
    post([this, code] {
        if (m_controller && m_controller->connection().is(ConnectionState::Case::connected))
            m_controller->disconnectLine();
        QCoreApplication::exit(code);
    });
}

void Session::post(std::function<void()> step)
{
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

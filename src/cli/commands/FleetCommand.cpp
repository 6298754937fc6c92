#include "cli/commands/FleetCommand.h"

#include "cli/commands/Session.h"
#include "cli/invocation/UserSettings.h"
#include "cli/output/KeptConsole.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTimer>
#include <sys/resource.h>

namespace {

// Enough displays at once for a school's evening switch-off, few enough for a gateway
// with limited connections.
constexpr qint64 defaultParallel = 64;
// Descriptors a display's run holds at most (its socket or device, and the line's
// wake-up), and those the process keeps for itself.
constexpr rlim_t descriptorsPerRun = 3;
constexpr rlim_t descriptorsKept = 32;
// libgensio's selector (RFC 2217 lines) keeps descriptors in select()'s sets, which end at
// 1024: with such lines in the file, few enough at once that no descriptor goes past.
constexpr qint64 rfc2217Parallel = 200;

// Raises the soft limit of open files as far as `parallel` runs need, up to the hard
// limit; returns how many runs fit.
qint64 fitDescriptors(qint64 parallel)
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return parallel;
    const rlim_t wanted = descriptorsKept + descriptorsPerRun * rlim_t(parallel);
    if (limit.rlim_cur < wanted) {
        struct rlimit raised = limit;
        raised.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted)
        return parallel;
    return std::max<qint64>(1, qint64((limit.rlim_cur - std::min(limit.rlim_cur, descriptorsKept)) /
                                      descriptorsPerRun));
}

// Waits before another attempt: long enough for a gateway to take a connection again,
// short enough for a fleet.
int retryDelayMs(int attempt)
{
    return std::min(500 << std::min(attempt - 1, 3), 4000);
}

QString tr(const char* text)
{
    return QCoreApplication::translate("FleetCommand", text);
}

} // namespace

// One try at one display: its console, its session and its command, in the order they
// are torn down.
struct FleetCommand::Attempt {
    std::unique_ptr<KeptConsole> console;
    std::unique_ptr<Session> session;
    std::unique_ptr<Command> command;

    ~Attempt()
    {
        command.reset();
        session.reset();
    }
};

FleetCommand::FleetCommand(Session& session)
    : m_session(session)
    , m_parallel(session.invocation().parallel.value_or(defaultParallel))
    , m_retries(int(session.invocation().retries.value_or(0)))
{
    // Ctrl+C: the runs under way close their lines; no further one starts.
    m_session.setTerminationHandler([this] { stop(); });
}

FleetCommand::~FleetCommand() = default;

void FleetCommand::start()
{
    const QString path = *m_session.invocation().targets;
    Console& console = m_session.console();
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        console.err(
            tr("Zieldatei %1 lässt sich nicht lesen: %2")
                .arg(path, QFileInfo(path).isDir() ? tr("ist ein Ordner") : file.errorString()));
        m_session.finish(ExitCode::usage);
        return;
    }
    auto parsed = TargetList::parse(QString::fromUtf8(file.readAll()));
    if (const QString* error = std::get_if<QString>(&parsed)) {
        console.err(path + QStringLiteral(": ") + *error);
        m_session.finish(ExitCode::usage);
        return;
    }
    const QStringList& groups = m_session.invocation().groups;
    for (const Target& target : std::get<QList<Target>>(parsed)) {
        if (target.inAnyGroup(groups))
            m_runs.push_back({target, 0, nullptr, nullptr, std::nullopt});
    }
    if (m_runs.empty()) {
        console.err(tr("Kein Display in %1 gehört zu %2.")
                        .arg(path, u'@' + groups.join(QStringLiteral(", @"))));
        m_session.finish(ExitCode::usage);
        return;
    }

    m_stored = readUserSettings();
    for (const QString& problem : m_stored.problems)
        console.err(tr("Warnung: %1").arg(problem));

    const bool anyRfc2217 = std::any_of(m_runs.begin(), m_runs.end(), [](const Run& run) {
        return run.target.address.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
    });
    if (anyRfc2217 && m_parallel > rfc2217Parallel) {
        console.err(tr("Hinweis: Mit rfc2217://-Adressen laufen höchstens %1 Displays "
                       "gleichzeitig.")
                        .arg(rfc2217Parallel));
        m_parallel = rfc2217Parallel;
    }
    const qint64 fitting = fitDescriptors(std::min<qint64>(m_parallel, qint64(m_runs.size())));
    if (fitting < std::min<qint64>(m_parallel, qint64(m_runs.size()))) {
        console.err(tr("Warnung: Die Grenze offener Dateien (ulimit -n) erlaubt nur %1 Displays "
                       "gleichzeitig.")
                        .arg(fitting));
        m_parallel = fitting;
    }
    while (m_running < m_parallel && m_started < qsizetype(m_runs.size()))
        startNext();
}

void FleetCommand::startNext()
{
    ++m_running;
    startAttempt(m_started++);
}

void FleetCommand::startAttempt(qsizetype index)
{
    Run& run = m_runs[size_t(index)];
    run.retry.reset();
    ++run.attempts;
    Invocation invocation = m_session.invocation();
    invocation.targets.reset();
    invocation.parallel.reset();
    invocation.port = run.target.address;

    auto attempt = std::make_unique<Attempt>();
    attempt->console = std::make_unique<KeptConsole>(m_session.console(), run.target.label());
    attempt->session = std::make_unique<Session>(invocation, *attempt->console,
                                                 [this, index](int code) { onEnded(index, code); });
    attempt->session->useStoredSettings(m_stored);
    attempt->command = Command::create(*attempt->session);
    Command* command = attempt->command.get();
    run.attempt = std::move(attempt);
    command->start();
}

void FleetCommand::onEnded(qsizetype index, int code)
{
    Run& run = m_runs[size_t(index)];
    Attempt& attempt = *run.attempt;
    Outcome outcome;
    outcome.exitCode = code;
    outcome.lines = attempt.console->lines();
    outcome.json = attempt.console->json();
    if (attempt.session->signalNumber() != 0)
        outcome.error = tr("abgebrochen");
    else if (code != int(ExitCode::success))
        outcome.error = attempt.console->errors().isEmpty()
                            ? tr("ohne Meldung beendet (Rückgabewert %1)").arg(code)
                            : attempt.console->errors().first();
    const bool worthRetry =
        code == int(ExitCode::portFailed) || (code != 0 && attempt.session->timedOut());

    // Called by the session itself: it goes once the event loop is back.
    m_retired.push_back(std::move(run.attempt));
    if (m_retired.size() == 1)
        QMetaObject::invokeMethod(
            &m_session, [this] { m_retired.clear(); }, Qt::QueuedConnection);

    if (worthRetry && run.attempts <= m_retries && !m_stopping) {
        run.retry = std::make_unique<QTimer>();
        run.retry->setSingleShot(true);
        QObject::connect(run.retry.get(), &QTimer::timeout, &m_session,
                         [this, index] { startAttempt(index); });
        run.retry->start(retryDelayMs(run.attempts));
        return;
    }
    settle(index, outcome);
}

void FleetCommand::settle(qsizetype index, Outcome outcome)
{
    Run& run = m_runs[size_t(index)];
    run.retry.reset();
    if (outcome.exitCode == int(ExitCode::success))
        ++m_succeeded;
    else if (!outcome.error.isEmpty() && outcome.error == tr("abgebrochen"))
        ++m_aborted;
    else if (outcome.exitCode == int(ExitCode::portFailed))
        ++m_unreachable;
    else
        ++m_failed;
    run.outcome = std::move(outcome);
    --m_running;
    printReady();
    if (!m_stopping && m_started < qsizetype(m_runs.size()))
        startNext();
    if (m_running == 0 && (m_stopping || m_started == qsizetype(m_runs.size())))
        end();
}

void FleetCommand::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    const int signal = m_session.signalNumber();
    for (qsizetype i = 0; i < qsizetype(m_runs.size()); ++i) {
        Run& run = m_runs[size_t(i)];
        if (run.retry)
            settle(i, {128 + signal, {}, {}, tr("abgebrochen")});
        else if (run.attempt)
            run.attempt->session->terminate(signal);
    }
    if (m_running == 0)
        end();
}

void FleetCommand::printReady()
{
    while (m_printed < qsizetype(m_runs.size()) && m_runs.at(size_t(m_printed)).outcome)
        printOne(m_runs.at(size_t(m_printed++)));
}

void FleetCommand::printOne(const Run& run)
{
    const Outcome& outcome = *run.outcome;
    const bool ok = outcome.exitCode == int(ExitCode::success);
    Console& console = m_session.console();
    if (m_session.invocation().json) {
        console.outJson(QJsonObject{
            {"target", run.target.address},
            {"name", run.target.name.isEmpty() ? QJsonValue() : QJsonValue(run.target.name)},
            {"groups", QJsonArray::fromStringList(run.target.groups)},
            {"ok", ok},
            {"attempts", run.attempts},
            {"result", outcome.json ? QJsonValue(*outcome.json) : QJsonValue()},
            {"error", ok ? QJsonValue() : QJsonValue(outcome.error)}});
        return;
    }
    const QString label = run.target.label();
    const QString result = outcome.lines.join(u' ');
    if (ok)
        console.out(label + QStringLiteral(": ") + result);
    else if (result.isEmpty())
        console.out(tr("%1: Fehler – %2").arg(label, outcome.error));
    else
        console.out(tr("%1: %2 · Fehler – %3").arg(label, result, outcome.error));
}

void FleetCommand::end()
{
    if (std::exchange(m_ended, true))
        return;
    // Targets never started: a line each all the same, so that the output stays a list
    // of the whole file.
    for (Run& run : m_runs) {
        if (!run.outcome && !run.attempt) {
            run.outcome = Outcome{128 + m_session.signalNumber(), {}, {}, tr("abgebrochen")};
            ++m_aborted;
        }
    }
    printReady();
    const qsizetype total = qsizetype(m_runs.size());
    QString summary = total == 1 ? tr("1 Display: ") : tr("%1 Displays: ").arg(total);
    summary += tr("%1 in Ordnung, %2 mit Fehler, %3 nicht erreichbar")
                   .arg(m_succeeded)
                   .arg(m_failed)
                   .arg(m_unreachable);
    if (m_aborted > 0)
        summary += tr(", %1 abgebrochen").arg(m_aborted);
    m_session.console().err(summary + u'.');
    // After a signal the session ends with its code, whatever is given here.
    m_session.finish(m_unreachable > 0 ? ExitCode::portFailed
                     : m_failed > 0    ? ExitCode::displayFailed
                                       : ExitCode::success);
}

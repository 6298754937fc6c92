#include "cli/commands/FleetCommand.h"

#include "cli/commands/Session.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

// As many displays at once as a school's evening switch-off needs, few enough for a
// small computer and a gateway with limited connections.
constexpr qint64 defaultParallel = 16;

// The one line a run says about its failure: its first line on stderr.
QString firstLine(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).section(u'\n', 0, 0).trimmed();
}

} // namespace

FleetCommand::FleetCommand(Session& session)
    : m_session(session)
    , m_parallel(session.invocation().parallel.value_or(defaultParallel))
{
    // Ctrl+C: the runs that are under way close their lines; no further one starts.
    m_session.setTerminationHandler([this] {
        m_stopping = true;
        for (Run& run : m_runs) {
            if (run.process && run.process->state() != QProcess::NotRunning)
                run.process->terminate();
        }
        if (m_running == 0)
            end();
    });
}

FleetCommand::~FleetCommand()
{
    for (Run& run : m_runs) {
        if (run.process) {
            run.process->disconnect();
            run.process->kill();
            run.process->waitForFinished();
        }
    }
}

void FleetCommand::start()
{
    const QString path = *m_session.invocation().targets;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_session.console().err(
            QCoreApplication::translate("FleetCommand", "Zieldatei %1 lässt sich nicht lesen: %2")
                .arg(path, file.errorString()));
        m_session.finish(ExitCode::usage);
        return;
    }
    auto parsed = TargetList::parse(QString::fromUtf8(file.readAll()));
    if (const QString* error = std::get_if<QString>(&parsed)) {
        m_session.console().err(path + QStringLiteral(": ") + *error);
        m_session.finish(ExitCode::usage);
        return;
    }
    for (const Target& target : std::get<QList<Target>>(parsed))
        m_runs.push_back({target, nullptr, std::nullopt});
    while (m_running < m_parallel && m_started < qsizetype(m_runs.size()))
        startNext();
}

void FleetCommand::startNext()
{
    const qsizetype index = m_started++;
    Run& run = m_runs[size_t(index)];
    run.process = std::make_unique<QProcess>();
    QObject::connect(run.process.get(), &QProcess::finished, &m_session,
                     [this, index] { onFinished(index); });
    QObject::connect(run.process.get(), &QProcess::errorOccurred, &m_session,
                     [this, index](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             onFinished(index);
                     });
    ++m_running;
    run.process->start(QCoreApplication::applicationFilePath(),
                       QStringList{QStringLiteral("-p"), run.target.address} +
                           m_session.invocation().perTargetArguments);
}

void FleetCommand::onFinished(qsizetype index)
{
    Run& run = m_runs[size_t(index)];
    if (run.outcome)
        return;
    QProcess& process = *run.process;
    Outcome outcome;
    const bool ran = process.error() != QProcess::FailedToStart;
    outcome.exitCode =
        ran && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput();
    outcome.error = ran ? firstLine(process.readAllStandardError()) : process.errorString();
    run.outcome = outcome;
    --m_running;
    if (outcome.exitCode == int(ExitCode::success))
        ++m_succeeded;
    else if (outcome.exitCode == int(ExitCode::portFailed))
        ++m_unreachable;
    else
        ++m_failed;
    printReady();
    if (!m_stopping && m_started < qsizetype(m_runs.size()))
        startNext();
    if (m_running == 0 && (m_stopping || m_started == qsizetype(m_runs.size())))
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
        const QJsonDocument result = QJsonDocument::fromJson(outcome.out);
        console.out(QString::fromUtf8(
            QJsonDocument(
                QJsonObject{
                    {"target", run.target.address},
                    {"name",
                     run.target.name.isEmpty() ? QJsonValue() : QJsonValue(run.target.name)},
                    {"ok", ok},
                    {"result", result.isObject() ? QJsonValue(result.object()) : QJsonValue()},
                    {"error",
                     ok || outcome.error.isEmpty() ? QJsonValue() : QJsonValue(outcome.error)}})
                .toJson(QJsonDocument::Compact)));
        return;
    }
    const QString result = QString::fromUtf8(outcome.out).trimmed().replace(u'\n', u' ');
    console.out(ok ? run.target.label() + QStringLiteral(": ") + result
                   : QCoreApplication::translate("FleetCommand", "%1: Fehler – %2")
                         .arg(run.target.label(), outcome.error));
}

void FleetCommand::end()
{
    const qsizetype skipped = qsizetype(m_runs.size()) - m_started;
    QString summary =
        skipped > 0 ? QCoreApplication::translate("FleetCommand",
                                                  "%1 Displays: %2 in Ordnung, %3 mit Fehler, %4 "
                                                  "nicht erreichbar, %5 nicht begonnen.")
                    : QCoreApplication::translate("FleetCommand",
                                                  "%1 Displays: %2 in Ordnung, %3 mit Fehler, %4 "
                                                  "nicht erreichbar.");
    summary =
        summary.arg(qsizetype(m_runs.size())).arg(m_succeeded).arg(m_failed).arg(m_unreachable);
    if (skipped > 0)
        summary = summary.arg(skipped);
    m_session.console().err(summary);
    if (m_stopping) {
        m_session.finish(ExitCode::displayFailed);
        return;
    }
    m_session.finish(m_unreachable > 0 ? ExitCode::portFailed
                     : m_failed > 0    ? ExitCode::displayFailed
                                       : ExitCode::success);
}

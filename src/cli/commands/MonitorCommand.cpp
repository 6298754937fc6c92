#include "cli/commands/MonitorCommand.h"

#include "cli/commands/Session.h"
#include "cli/output/LogLine.h"
#include "controller/DisplayController.h"

#include <cmath>

MonitorCommand::MonitorCommand(Session& session)
    : m_session(session)
{
    m_duration.setSingleShot(true);
    // A coarse timer may end a watch of 10 s half a second early.
    m_duration.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_duration, &QTimer::timeout, &m_session,
                     [this] { m_session.finish(ExitCode::success); });
}

MonitorCommand::~MonitorCommand()
{
    QObject::disconnect(m_listening);
}

void MonitorCommand::start()
{
    // The log is the output here; on stderr as well it would only come twice.
    m_session.setLogOnStderr(false);
    // Polling as the application does it, so the log shows what the display reports.
    if (!m_session.prepare(true, true))
        return;
    const bool hex = m_session.invocation().hex;
    m_listening = QObject::connect(
        &m_session, &Session::entryAppended, &m_session,
        [this, hex](const LogEntry& entry) { m_session.console().out(logLine(entry, hex)); });
    m_session.connectLine(false, [] {});
    if (const auto duration = m_session.invocation().duration)
        m_duration.start(int(std::ceil(*duration * 1000.0)));
}

#include "cli/commands/SimulateCommand.h"

#include "cli/commands/Session.h"
#include "line/LineError.h"
#include "simulator/DisplaySimulator.h"

#include <QJsonDocument>
#include <QJsonObject>

SimulateCommand::SimulateCommand(Session& session)
    : m_session(session)
{
    m_session.setTerminationHandler([this] { stop(); });
}

SimulateCommand::~SimulateCommand() = default;

void SimulateCommand::start()
{
    const Invocation& invocation = m_session.invocation();
    Console& console = m_session.console();
    m_simulator = std::make_unique<DisplaySimulator>(invocation.series.value_or(DisplaySeries::qx),
                                                     invocation.loopback);
    if (const auto error = m_simulator->start()) {
        console.err(LineError::of(LineError::Kind::simulatorFailed, QString(), *error).text());
        m_session.finish(ExitCode::portFailed);
        return;
    }
    const QString device = m_simulator->devicePath();
    if (invocation.link) {
        if (const auto error = m_link.create(*invocation.link, device)) {
            console.err(*error);
            m_session.finish(ExitCode::portFailed);
            return;
        }
    }
    if (invocation.json)
        console.outJson(
            QJsonObject{{"devicePath", device},
                        {"link", invocation.link ? QJsonValue(*invocation.link) : QJsonValue()}});
    else
        console.out(device);
}

void SimulateCommand::stop()
{
    if (m_simulator)
        m_simulator->stop();
    m_session.finish(ExitCode::success);
}

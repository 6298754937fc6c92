#include "cli/commands/StatusCommand.h"

#include "cli/commands/Session.h"
#include "cli/output/StatusOutput.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"
#include "controller/values/DisplayReport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

void StatusCommand::start()
{
    if (!m_session.prepare(false, true))
        return;
    m_session.connectLine(false, [this] {
        m_session.setGiveUpOnSilence(true);
        // Connecting queues the device information and every status query.
        m_session.whenIdle([this] { print(); });
    });
}

void StatusCommand::print()
{
    const QStringList errors = m_session.takeErrors();
    const DisplayState& state = m_session.controller().display().state();
    if (!printStatus(m_session.console(), DisplayReport::values(state),
                     m_session.invocation().json)) {
        m_session.finish(ExitCode::displayFailed);
        return;
    }
    // A display that wrote boot noise before its first prompt, say: worth a word, but every
    // value came.
    m_session.reportWarnings(errors);
    m_session.finish(ExitCode::success);
}

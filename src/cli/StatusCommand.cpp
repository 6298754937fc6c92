#include "cli/StatusCommand.h"

#include "cli/DisplayReport.h"
#include "cli/Session.h"
#include "controller/DisplayController.h"

#include <QJsonDocument>
#include <QJsonObject>

void StatusCommand::start()
{
    if (!m_session.prepare(false))
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
    const DisplayController& c = m_session.controller();
    Console& console = m_session.console();
    if (m_session.invocation().json) {
        QJsonObject values;
        for (const QString& name : DisplayReport::statusNames())
            values.insert(name, DisplayReport::value(c, m_session.reported(), name));
        console.out(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)));
    } else {
        for (const QString& name : DisplayReport::statusNames()) {
            const auto line =
                DisplayReport::plainLine(name, DisplayReport::value(c, m_session.reported(), name));
            if (line)
                console.out(*line);
        }
    }
    m_session.reportErrors(errors);
    m_session.finish(errors.isEmpty() ? ExitCode::success : ExitCode::displayFailed);
}

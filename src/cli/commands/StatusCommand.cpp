#include "cli/commands/StatusCommand.h"

#include "cli/commands/Session.h"
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
    Console& console = m_session.console();
    if (m_session.invocation().json) {
        QJsonObject values;
        for (const QString& name : DisplayReport::statusNames())
            values.insert(name, DisplayReport::value(state, name));
        console.outJson(values);
    } else {
        for (const QString& name : DisplayReport::statusNames()) {
            const auto line = DisplayReport::plainLine(name, DisplayReport::value(state, name));
            if (line)
                console.out(*line);
        }
    }
    // Only values the display told in this run count, the series among them (from the
    // model number).
    QStringList missing;
    for (const QString& name : DisplayReport::statusNames()) {
        if (DisplayReport::value(state, name).isNull())
            missing.append(name);
    }
    if (missing.isEmpty()) {
        // A display that wrote boot noise before its first prompt, say: worth a word, but
        // every value came.
        m_session.reportWarnings(errors);
        m_session.finish(ExitCode::success);
        return;
    }
    console.err(QCoreApplication::translate("StatusCommand",
                                            "Keine Antwort des Displays für %1 von %2 Werten: %3.")
                    .arg(missing.size())
                    .arg(DisplayReport::statusNames().size())
                    .arg(missing.join(QStringLiteral(", "))));
    m_session.finish(ExitCode::displayFailed);
}

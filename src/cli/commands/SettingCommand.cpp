#include "cli/commands/SettingCommand.h"

#include "cli/commands/Session.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"
#include "controller/values/DisplayReport.h"
#include "protocol/PowerState.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

SettingCommand::SettingCommand(Session& session)
    : m_session(session)
    , m_name(session.invocation().action ? settingName(session.invocation().action->setting)
                                         : session.invocation().settingName)
{
}

SettingCommand::~SettingCommand()
{
    QObject::disconnect(m_listening);
}

void SettingCommand::start()
{
    if (!m_session.prepare(false))
        return;
    m_session.connectLine(false, [this] {
        m_session.setGiveUpOnSilence(true);
        m_session.whenIdle([this] { act(); });
    });
}

void SettingCommand::act()
{
    // What the display said to the connection's own queries is not this command's
    // answer (an RX display, for one, knows no microphone mute).
    m_session.takeErrors();
    const auto& action = m_session.invocation().action;
    if (action) {
        RemoteDisplay& display = m_session.controller().display();
        action->applyTo(display);
        m_wanted = info(action->setting).kind == SettingKind::powerState
                       ? std::optional(rawValue(action->power))
                       : display.state().knowledge(action->setting).wanted;
    } else {
        // The answer to this very query, whatever the name: the display may know settings
        // this program does not.
        m_listening = QObject::connect(&m_session.controller().pump(), &CommandPump::finished,
                                       &m_session, [this](const CommandResult& result) {
                                           if (result.command.ticket != m_query)
                                               return;
                                           for (const SmartEvent& event : result.events) {
                                               if (event.kind == SmartEvent::Kind::value &&
                                                   event.name == m_name)
                                                   m_answer = event.value;
                                           }
                                       });
        m_query = m_session.controller().pump().send(SmartCommand::query(m_name));
    }
    m_session.whenIdle([this] { print(); });
}

void SettingCommand::print()
{
    const QStringList errors = m_session.takeErrors();
    QJsonValue value = DisplayReport::value(m_session.controller().display().state(), m_name);
    if (value.isNull() && m_answer && !settingNamed(m_name))
        value = *m_answer;
    if (value.isNull()) {
        if (errors.isEmpty())
            m_session.console().err(
                QCoreApplication::translate("SettingCommand",
                                            "Das Display hat keinen Wert für „%1“ gemeldet.")
                    .arg(m_name));
        m_session.reportErrors(errors);
        m_session.finish(ExitCode::displayFailed);
        return;
    }
    if (const auto& action = m_session.invocation().action) {
        // Done only when the display answered the set with the value itself; what a query
        // found afterwards (a refused command, a value it clamped) is no confirmation.
        const SettingKnowledge& told =
            m_session.controller().display().state().knowledge(action->setting);
        const bool confirmed =
            told.source == ValueSource::echo && (!m_wanted || told.value == m_wanted);
        if (!confirmed) {
            m_session.console().err(
                QCoreApplication::translate("SettingCommand",
                                            "Das Display hat den Wert nicht übernommen – es "
                                            "meldet %1.")
                    .arg(DisplayReport::plainLine(m_name, value).value_or(m_name)));
            m_session.reportErrors(errors);
            m_session.finish(ExitCode::displayFailed);
            return;
        }
    }
    if (m_session.invocation().json)
        m_session.console().outJson(QJsonObject{{m_name, value}});
    else
        m_session.console().out(DisplayReport::plainLine(m_name, value).value_or(QString()));
    // The display gave the value; a missing prompt is worth a word, no failure.
    m_session.reportWarnings(errors);
    m_session.finish(ExitCode::success);
}

#include "cli/commands/SendCommand.h"

#include "cli/commands/Session.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"

#include <QJsonDocument>
#include <QJsonObject>

SendCommand::~SendCommand()
{
    QObject::disconnect(m_listening);
}

void SendCommand::start()
{
    if (!m_session.prepare(false))
        return;
    m_session.connectLine(false, [this] {
        m_session.setGiveUpOnSilence(true);
        m_session.whenIdle([this] {
            m_session.takeErrors(); // answers to the connection's own queries
            m_listening =
                QObject::connect(&m_session.controller().pump(), &CommandPump::event, &m_session,
                                 [this](const SmartEvent& event) { onDisplayEvent(event); });
            sendLine(0);
        });
    });
}

void SendCommand::sendLine(qsizetype index)
{
    const QStringList& lines = m_session.invocation().lines;
    if (m_current >= 0 && m_session.invocation().json) {
        m_replies.append(QJsonObject{{"command", lines.at(m_current).trimmed()},
                                     {"lines", QJsonArray::fromStringList(m_answer)}});
    }
    m_answer.clear();
    if (index >= lines.size()) {
        finish();
        return;
    }
    m_current = index;
    m_session.controller().pump().sendCustom(lines.at(index));
    m_session.whenIdle([this, index] { sendLine(index + 1); });
}

void SendCommand::onDisplayEvent(const SmartEvent& event)
{
    QString line;
    switch (event.kind) {
    case SmartEvent::Kind::value:
        line = event.name + u'=' + event.value;
        break;
    case SmartEvent::Kind::async:
        line = u'#' + event.name + u'=' + event.value;
        break;
    case SmartEvent::Kind::text:
        line = event.line;
        break;
    case SmartEvent::Kind::prompt:
        return;
    }
    if (line.isEmpty())
        return;
    if (m_session.invocation().json)
        m_answer.append(line);
    else
        m_session.console().out(line);
}

void SendCommand::finish()
{
    if (m_session.invocation().json) {
        m_session.console().outJson(QJsonObject{{"replies", m_replies}});
    }
    const QStringList errors = m_session.takeErrors();
    m_session.reportErrors(errors);
    m_session.finish(errors.isEmpty() ? ExitCode::success : ExitCode::displayFailed);
}

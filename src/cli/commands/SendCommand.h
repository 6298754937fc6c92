#pragma once

#include "cli/commands/Command.h"

#include <QJsonArray>
#include <QMetaObject>
#include <QStringList>

struct SmartEvent;

// "send LINE…": free command lines through the queue, each after the prompt of the
// one before (so that two set commands of one setting are not merged), printing
// every line the display answers.
class SendCommand final : public Command {
public:
    explicit SendCommand(Session& session)
        : m_session(session)
    {
    }
    ~SendCommand() override;
    void start() override;

private:
    void sendLine(qsizetype index);
    void onDisplayEvent(const SmartEvent& event);
    void finish();

    Session& m_session;
    QMetaObject::Connection m_listening;
    QJsonArray m_replies; // with --json: one object per line sent
    QStringList m_answer; // the lines answered to the current command
    qsizetype m_current = -1;
};

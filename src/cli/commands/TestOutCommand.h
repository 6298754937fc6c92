#pragma once

#include "cli/commands/Command.h"

#include <QMetaObject>
#include <QtGlobal>

// "testout": the test output for a terminal program at the other end of the line, a
// given number of packets at the given interval; each packet sent is printed.
class TestOutCommand final : public Command {
public:
    explicit TestOutCommand(Session& session);
    ~TestOutCommand() override;
    void start() override;

private:
    void run();
    void onSentCountChanged();
    void onRunningChanged();
    void end(bool stoppedByItself);

    Session& m_session;
    QMetaObject::Connection m_listening;
    qint64 m_count = 0;
    qint64 m_target = 0;
    bool m_ending = false;
};

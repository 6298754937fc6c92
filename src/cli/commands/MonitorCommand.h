#pragma once

#include "cli/commands/Command.h"

#include <QMetaObject>
#include <QTimer>

// "monitor": connects and prints the traffic log live on stdout, the display's own
// #name=value reports included, until the duration ends or Ctrl+C.
class MonitorCommand final : public Command {
public:
    explicit MonitorCommand(Session& session);
    ~MonitorCommand() override;
    void start() override;

private:
    Session& m_session;
    QMetaObject::Connection m_listening;
    QTimer m_duration;
};

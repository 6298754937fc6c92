#pragma once

#include "cli/commands/Command.h"

// "status": connect, let the connection's own queries finish, print every value.
class StatusCommand final : public Command {
public:
    explicit StatusCommand(Session& session)
        : m_session(session)
    {
    }
    void start() override;

private:
    void print();

    Session& m_session;
};

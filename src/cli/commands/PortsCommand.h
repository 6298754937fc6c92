#pragma once

#include "cli/commands/Command.h"

// "ports": the port list and the adapters without a port, as the sidebar shows them.
class PortsCommand final : public Command {
public:
    explicit PortsCommand(Session& session)
        : m_session(session)
    {
    }
    void start() override;

private:
    void printPlain();
    void printJson();

    Session& m_session;
};

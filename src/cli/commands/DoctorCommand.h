#pragma once

#include "cli/commands/Command.h"

// "doctor [PORT]": why ports do not work on this computer, and how to fix it; for every
// port and every adapter without a port, or for one port. Opens no port.
class DoctorCommand final : public Command {
public:
    explicit DoctorCommand(Session& session)
        : m_session(session)
    {
    }
    void start() override;

private:
    Session& m_session;
};

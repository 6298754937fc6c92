#pragma once

#include "cli/commands/Command.h"
#include "cli/commands/DeviceLink.h"

#include <memory>

class DisplaySimulator;

// "simulate": the virtual display (or bridge plug) on a pseudo-terminal for any
// serial program, until Ctrl+C or SIGTERM; prints the device path and, when asked,
// puts a link with a fixed name to it, removed again at the end.
class SimulateCommand final : public Command {
public:
    explicit SimulateCommand(Session& session);
    ~SimulateCommand() override;
    void start() override;

private:
    void stop();

    Session& m_session;
    std::unique_ptr<DisplaySimulator> m_simulator;
    // Declared after the simulator: the link goes first, then the device it names.
    DeviceLink m_link;
};

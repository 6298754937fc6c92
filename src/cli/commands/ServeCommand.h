#pragma once

#include "cli/commands/Command.h"
#include "cli/invocation/TargetList.h"

#include <memory>
#include <vector>

class DisplayController;
class LineServer;

// "serve": holds every line it is given (-p, repeatable, or a targets file) without a
// window: connects, polls, reconnects after a dropout, and serves each line's session on
// its socket, until SIGTERM, SIGINT or SIGHUP; then closes the lines, removes the sockets
// and ends with 128 + the signal's number. Its log goes to stderr, where journald takes it
// (without timestamps of its own then).
class ServeCommand final : public Command {
public:
    explicit ServeCommand(Session& session);
    ~ServeCommand() override;
    void start() override;

private:
    struct Held;
    void hold(const Target& target);
    void stop();

    Session& m_session;
    std::vector<std::unique_ptr<Held>> m_held;
};

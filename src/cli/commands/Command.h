#pragma once

#include <memory>

class Session;

// One command of bildwartctl. start() runs on the event loop; the command ends the
// run through its session.
class Command {
public:
    virtual ~Command() = default;
    virtual void start() = 0;

    // The command the session's invocation names.
    static std::unique_ptr<Command> create(Session& session);
};

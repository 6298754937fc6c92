#pragma once

#include <memory>

class Session;

// One command of bildwartctl. start() runs on the event loop; the command ends the
// run through its session.
class Command {
public:
    virtual ~Command() = default;
    virtual void start() = 0;

    // The command the session's invocation names: through the session that holds the
    // line when there is one (and not --direct), else on a line of its own.
    static std::unique_ptr<Command> create(Session& session);
    // The command on a line of its own.
    static std::unique_ptr<Command> createDirect(Session& session);
};

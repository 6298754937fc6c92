#include "cli/commands/Command.h"

#include "cli/commands/DoctorCommand.h"
#include "cli/commands/FleetCommand.h"
#include "cli/commands/LoopbackCommand.h"
#include "cli/commands/MonitorCommand.h"
#include "cli/commands/PortsCommand.h"
#include "cli/commands/RawCommand.h"
#include "cli/commands/SendCommand.h"
#include "cli/commands/ServeCommand.h"
#include "cli/commands/Session.h"
#include "cli/commands/SettingCommand.h"
#include "cli/commands/SharedSessionCommand.h"
#include "cli/commands/SimulateCommand.h"
#include "cli/commands/StatusCommand.h"
#include "cli/commands/TestOutCommand.h"

std::unique_ptr<Command> Command::create(Session& session)
{
    using C = Invocation::Command;
    const Invocation& invocation = session.invocation();
    if (invocation.command == C::serve)
        return std::make_unique<ServeCommand>(session);
    if (invocation.targets)
        return std::make_unique<FleetCommand>(session);
    const bool shareable = invocation.command == C::status || invocation.command == C::get ||
                           invocation.command == C::set || invocation.command == C::send ||
                           invocation.command == C::monitor;
    if (shareable && !invocation.direct) {
        if (const QString socket = SharedSessionCommand::socketFor(session); !socket.isEmpty())
            return std::make_unique<SharedSessionCommand>(
                session, socket, [&session] { return createDirect(session); });
    }
    return createDirect(session);
}

std::unique_ptr<Command> Command::createDirect(Session& session)
{
    using C = Invocation::Command;
    switch (session.invocation().command) {
    case C::ports:
        return std::make_unique<PortsCommand>(session);
    case C::status:
        return std::make_unique<StatusCommand>(session);
    case C::get:
    case C::set:
        return std::make_unique<SettingCommand>(session);
    case C::send:
        return std::make_unique<SendCommand>(session);
    case C::raw:
        return std::make_unique<RawCommand>(session);
    case C::monitor:
        return std::make_unique<MonitorCommand>(session);
    case C::loopback:
        return std::make_unique<LoopbackCommand>(session);
    case C::testout:
        return std::make_unique<TestOutCommand>(session);
    case C::simulate:
        return std::make_unique<SimulateCommand>(session);
    case C::doctor:
        return std::make_unique<DoctorCommand>(session);
    case C::serve:
    case C::help:
        break;
    }
    return nullptr;
}

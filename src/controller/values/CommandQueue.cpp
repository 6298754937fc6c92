#include "controller/values/CommandQueue.h"

#include "protocol/CommandLine.h"

std::optional<SmartCommand> CommandQueue::add(SmartCommand command)
{
    if (const auto name = CommandLine::settingWritten(command.text)) {
        for (qsizetype i = m_waiting.size() - 1; i >= 0; --i) {
            // Another guest's command is its own, answered to it alone.
            if (CommandLine::settingWritten(m_waiting[i].text) == name &&
                m_waiting[i].origin == command.origin)
                return std::exchange(m_waiting[i], std::move(command));
        }
    }
    m_waiting.append(std::move(command));
    return std::nullopt;
}

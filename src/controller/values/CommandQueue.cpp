#include "controller/values/CommandQueue.h"

void CommandQueue::add(SmartCommand command)
{
    if (SmartCommand::isSet(command.text)) {
        if (const auto name = SmartCommand::settingName(command.text)) {
            for (qsizetype i = m_waiting.size() - 1; i >= 0; --i) {
                const QString& queued = m_waiting[i].text;
                if (SmartCommand::isSet(queued) && SmartCommand::settingName(queued) == name) {
                    m_waiting[i] = std::move(command);
                    return;
                }
            }
        }
    }
    m_waiting.append(std::move(command));
}

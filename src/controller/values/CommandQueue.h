#pragma once

#include "protocol/SmartCommand.h"

#include <QList>
#include <optional>

// The commands waiting for the line, oldest first. A plain value without I/O; the
// controller's pump takes from it one command at a time.
class CommandQueue {
public:
    // Appends the command. A "set" command instead takes the place of a waiting "set"
    // command of the same setting and origin (searched newest first), so that dragging a slider
    // leaves one command per setting with the latest value. The command on the line is
    // never in the queue and so never replaced. Returns the command it replaced.
    std::optional<SmartCommand> add(SmartCommand command);
    // The oldest command; the queue must not be empty.
    SmartCommand takeFirst() { return m_waiting.takeFirst(); }
    void clear() { m_waiting.clear(); }
    // Takes out every waiting command that `which` picks, oldest first.
    template <typename Which>
    QList<SmartCommand> takeIf(Which which)
    {
        QList<SmartCommand> taken;
        for (qsizetype i = 0; i < m_waiting.size();) {
            if (which(m_waiting.at(i)))
                taken.append(m_waiting.takeAt(i));
            else
                ++i;
        }
        return taken;
    }

    bool isEmpty() const { return m_waiting.isEmpty(); }
    qsizetype size() const { return m_waiting.size(); }
    const QList<SmartCommand>& commands() const { return m_waiting; }

    bool operator==(const CommandQueue&) const = default;

private:
    QList<SmartCommand> m_waiting;
};

#pragma once

#include "protocol/SmartCommand.h"
#include "protocol/SmartEvent.h"

#include <QList>
#include <QString>

// How one command of the queue ended, for whoever queued it.
struct CommandResult {
    enum class Outcome {
        answered,   // the prompt came
        refused,    // the prompt came after an error line of the display ("invalid cmd")
        timedOut,   // no prompt within the response timeout
        notSent,    // the write failed
        superseded, // a newer set command of the same setting took its place in the queue
        cancelled,  // the line closed or raw mode began before it was done
    };

    SmartCommand command;
    Outcome outcome = Outcome::answered;
    // What the display sent while the command was on the line: values and text lines.
    QList<SmartEvent> events;
    // For every outcome but answered: what went wrong, in German.
    QString error;

    bool succeeded() const { return outcome == Outcome::answered; }
    bool operator==(const CommandResult&) const = default;
};

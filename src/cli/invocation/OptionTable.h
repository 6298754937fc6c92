#pragma once

#include "cli/invocation/Invocation.h"

#include <QList>
#include <QString>
#include <optional>

// Every option of bildwartctl in one table, so that parsing and the help text can
// never disagree.
struct OptionDefinition {
    QString longName;  // without the dashes
    QChar shortName;   // null when there is none
    QString valueName; // empty for a switch
    QString help;      // German; a line break continues it on the next line
    // The commands the option belongs to; empty: all of them.
    QList<Invocation::Command> commands;
    // Stores the value; returns what the caller should be told when it is no good.
    std::optional<QString> (*store)(Invocation& invocation, const QString& value);
    // Says how a fleet runs (--targets); each display's own run does not get it.
    bool forFleet = false;

    bool takesValue() const { return !valueName.isEmpty(); }
    bool appliesTo(Invocation::Command command) const
    {
        return commands.isEmpty() || commands.contains(command);
    }
};

struct CommandDefinition {
    QString name;
    Invocation::Command command;
    QString synopsis; // the arguments as the help shows them
    QString help;     // German; may span lines
    qsizetype minArguments;
    qsizetype maxArguments; // -1: no limit
};

const QList<OptionDefinition>& optionTable();
const QList<CommandDefinition>& commandTable();

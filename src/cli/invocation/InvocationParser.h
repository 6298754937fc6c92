#pragma once

#include "cli/invocation/Invocation.h"

#include <QString>
#include <QStringList>
#include <variant>

// Reads bildwartctl's arguments. Options may stand before or after the command;
// "--" ends them, and a word such as "-5" is an argument, so "set volume -5" works.
// Pure: no I/O, nothing opened.
class InvocationParser {
public:
    // The invocation, or the German one-line text of the usage error. "-h" or
    // "--help" anywhere gives the help command.
    static std::variant<Invocation, QString> parse(const QStringList& arguments);

    // The German help: commands, options, test patterns, exit codes.
    static QString helpText();
};

#pragma once

#include "doctor/PortFacts.h"

#include <QList>
#include <QString>
#include <QStringList>

// One reason why a port does not work (or works worse than it could), with its fix.
struct Finding {
    enum class Severity {
        error,   // the port cannot be used
        warning, // it can, but something will go wrong (the wrong adapter, a busy port)
        hint,    // it works; this makes it better
    };

    QString id; // stable, for scripts: "permission", "held-by-process" …
    Severity severity = Severity::error;
    QString text;    // German, whole sentences, as the sidebar and the tool show it
    QString summary; // the short cause that a failed open's message ends with
    QString fix;     // German: what to do
    // Commands for a terminal, to copy; nothing here is ever run by the program.
    QStringList commands;

    bool operator==(const Finding&) const = default;

    // "Abhilfe: " and the fix, as the port doctor's dialog and the tool's report show it.
    QString fixLine() const;
};

// "error", "warning", "hint": the tool's JSON spelling.
QString rawValue(Finding::Severity severity);
// "Fehler", "Warnung", "Hinweis".
QString label(Finding::Severity severity);

// The findings for one port or adapter, most severe first.
struct PortReport {
    PortFacts facts;
    QList<Finding> findings;

    bool operator==(const PortReport&) const = default;
};

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <variant>

// One display of a fleet: its address and, when the file gives them, a name for people
// and the groups it belongs to.
struct Target {
    QString address;
    QString name;
    QStringList groups; // without the "@"
    int lineNumber = 0; // in the targets file, from 1

    bool operator==(const Target&) const = default;
    // What the output calls it: the name, or else the address.
    QString label() const { return name.isEmpty() ? address : name; }
    // Whether it belongs to one of `wanted`; every target does when none is wanted.
    bool inAnyGroup(const QStringList& wanted) const;
};

// The displays of a targets file: one address a line (tcp://…, rfc2217://…, a device
// path or a simulator), optionally followed by a name and groups ("tcp://10.1.2.3:4001
// Raum 2.14 @og2 @beamer"). Blank lines are ignored, and so is a line that starts with
// "#" ("#tcp://… Aula" is switched off) and everything from a "#" after a blank ("… # alt"),
// while "#1" in a name stays.
class TargetList {
public:
    // The targets, or the German text that says which line is wrong.
    static std::variant<QList<Target>, QString> parse(const QString& text);
};

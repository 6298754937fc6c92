#pragma once

#include <QList>
#include <QString>
#include <variant>

// One display of a fleet: its address and, when the file gives one, a name for people.
struct Target {
    QString address;
    QString name;

    bool operator==(const Target&) const = default;
    // What the output calls it: the name, or else the address.
    QString label() const { return name.isEmpty() ? address : name; }
};

// The displays of a targets file: one address a line (tcp://…, rfc2217://…, a device
// path or a simulator), optionally followed by a name ("tcp://10.1.2.3:4001 Raum 2.14");
// blank lines are ignored, and so is everything from a "#" followed by a blank ("# Aula"),
// while "#1" in a name stays.
class TargetList {
public:
    // The targets, or the German text that says which line is wrong.
    static std::variant<QList<Target>, QString> parse(const QString& text);
};

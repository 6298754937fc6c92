#pragma once

#include <QString>

// One parsed piece of display output.
struct SmartEvent {
    enum class Kind { value, async, text, prompt };

    Kind kind = Kind::prompt;
    QString name;  // value and async
    QString value; // value and async
    QString line;  // text: the whole trimmed line

    bool operator==(const SmartEvent&) const = default;

    static SmartEvent makeValue(const QString& name, const QString& value)
    {
        return {Kind::value, name, value, {}};
    }
    static SmartEvent makeAsync(const QString& name, const QString& value)
    {
        return {Kind::async, name, value, {}};
    }
    static SmartEvent makeText(const QString& line) { return {Kind::text, {}, {}, line}; }
    static SmartEvent makePrompt() { return {}; }
};

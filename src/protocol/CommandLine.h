#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// One command line in its parts, as the display reads it: "get volume", "set volume=40",
// "set volume+5". The one grammar of the queue's merging, the simulator and bildwartctl.
struct CommandLine {
    enum class Verb { get, set };

    Verb verb = Verb::get;
    QString name;  // lower case, blanks at its ends removed
    QChar op;      // '=', '+' or '-' for set; nothing for get
    QString value; // set only; blanks at its ends removed, letter case kept

    bool operator==(const CommandLine&) const = default;

    // The verb in any letter case, then the name, then for "set" the first of = + -
    // and the value. Blanks (space, tab) around each part are dropped. Anything else
    // (an empty name, a "set" without operator, another verb) is no such line.
    static std::optional<CommandLine> parse(QStringView text);

    // The setting a "set" line writes; nothing for other lines.
    static std::optional<QString> settingWritten(QStringView text);
};

// The one number grammar of a level (volume, brightness): an optional sign, ASCII digits
// and an optional fraction after a point, the whole text, nothing else.
std::optional<double> readLevel(QStringView text);
// The same grammar without a fraction, within 64 bits: what a command carries.
std::optional<qint64> readWholeLevel(QStringView text);

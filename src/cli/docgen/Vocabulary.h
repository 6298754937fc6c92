#pragma once

#include "cli/invocation/OptionTable.h"

#include "protocol/DisplaySetting.h"
#include <QList>
#include <QString>

#include <QStringList>
#include <optional>

// The words bildwartctl accepts beyond its command and option names, taken from the code
// that checks them, so the man page and the completion offer exactly what the tool takes.
namespace Vocabulary {

// What "get" asks for.
QStringList settingNames();

struct SettableSetting {
    QString name;
    QStringList words; // the fixed values "set NAME" takes, such as on/off or the inputs
    // Levels: also a number within this range or a step +N/-N.
    std::optional<LevelRange> levels;
};
// The settings "set" changes, in the order of settingNames().
QList<SettableSetting> settableSettings();

// The fixed values of an option ("--parity" takes none, even, odd); empty when the value is
// free (a number, a path). Each value has been checked with the option's own parser; a value
// the parser refuses is reported in `rejected`.
QStringList optionChoices(const OptionDefinition& option, QStringList* rejected = nullptr);

// Options that name a port, and the one that names a new file.
bool takesPort(const OptionDefinition& option);
bool takesNewPath(const OptionDefinition& option);

} // namespace Vocabulary

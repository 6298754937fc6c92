#include "cli/docgen/Vocabulary.h"

#include "controller/SetAction.h"
#include "protocol/DisplaySetting.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"

namespace {

// Every fixed word any setting takes; SetAction::parse decides which belong to which name.
QStringList candidateWords()
{
    QStringList words;
    for (PowerState state : allPowerStates())
        words.append(rawValue(state));
    for (const InputSource& input : InputSource::all())
        words.append(input.id);
    words.append({QStringLiteral("on"), QStringLiteral("off")});
    words.removeDuplicates();
    return words;
}

bool accepts(const QString& name, const QString& value)
{
    return std::holds_alternative<SetAction>(SetAction::parse(name, value));
}

} // namespace

namespace Vocabulary {

// The display's settings from the protocol's table: what "get" asks for.
QStringList settingNames()
{
    QStringList names;
    for (const SettingInfo& row : displaySettings())
        names.append(row.name);
    return names;
}

QList<SettableSetting> settableSettings()
{
    const QStringList candidates = candidateWords();
    QList<SettableSetting> settings;
    for (const QString& name : settingNames()) {
        const SettingInfo& row = info(*settingNamed(name));
        SettableSetting setting{name, {}, std::nullopt};
        if (row.kind == SettingKind::level && accepts(name, QString::number(row.range.minimum)))
            setting.levels = row.range;
        for (const QString& word : candidates) {
            if (accepts(name, word))
                setting.words.append(word);
        }
        if (setting.levels || !setting.words.isEmpty())
            settings.append(setting);
    }
    return settings;
}

QStringList optionChoices(const OptionDefinition& option, QStringList* rejected)
{
    QStringList choices;
    if (option.longName == u"pattern") {
        for (TestPattern pattern : allTestPatterns())
            choices.append(rawValue(pattern));
    } else if (option.valueName.contains(u'|')) {
        choices = option.valueName.split(u'|');
    }
    for (const QString& choice : std::as_const(choices)) {
        Invocation scratch;
        if (option.store(scratch, choice) && rejected)
            rejected->append(QStringLiteral("--%1 %2").arg(option.longName, choice));
    }
    return choices;
}

bool takesPort(const OptionDefinition& option)
{
    return option.longName == u"port";
}

bool takesNewPath(const OptionDefinition& option)
{
    return option.longName == u"link";
}

} // namespace Vocabulary

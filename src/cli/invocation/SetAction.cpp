#include "cli/invocation/SetAction.h"

#include "controller/DisplayController.h"
#include "protocol/InputSource.h"

#include <QRegularExpression>

namespace {

// Volume and brightness are percentages; a step beyond the whole range means a typo.
constexpr qint64 maxLevel = 100;

// What scripts may write instead of the power state's own, longer name.
QString powerShortName()
{
    return QStringLiteral("power");
}

// What "set power" offers: the states of both series, never the update states.
QList<PowerState> offeredPowerStates()
{
    QList<PowerState> states = availablePowerStates(DisplaySeries::qx);
    for (PowerState state : availablePowerStates(DisplaySeries::rx)) {
        if (!states.contains(state))
            states.append(state);
    }
    return states;
}

QString joined(const QStringList& words)
{
    return words.join(QStringLiteral(", "));
}

std::variant<SetAction, QString> parsePower(const QString& value)
{
    QStringList words;
    for (PowerState state : offeredPowerStates()) {
        if (rawValue(state) == value)
            return SetAction{.setting = DisplaySetting::power, .power = state};
        words.append(rawValue(state));
    }
    return QStringLiteral("\u201E%1\u201C ist kein Betriebszustand \u2013 m\u00F6glich: %2.")
        .arg(value, joined(words));
}

std::variant<SetAction, QString> parseInput(const QString& value)
{
    QStringList ids;
    for (const InputSource& source : InputSource::all()) {
        if (source.id == value)
            return SetAction{.setting = DisplaySetting::input, .input = value};
        ids.append(source.id);
    }
    return QStringLiteral("\u201E%1\u201C ist kein Eingang \u2013 m\u00F6glich: %2.")
        .arg(value, joined(ids));
}

std::variant<SetAction, QString> parseLevel(DisplaySetting setting, const QString& value)
{
    static const QRegularExpression form(QStringLiteral("^([+-]?)([0-9]{1,3})$"));
    const QRegularExpressionMatch match = form.match(value);
    const qint64 number = match.hasMatch() ? match.captured(2).toLongLong() : -1;
    if (number < 0 || number > maxLevel)
        return QStringLiteral("\u201E%1\u201C ist kein Wert f\u00FCr %2 \u2013 erwartet 0 bis 100, "
                              "+N oder -N.")
            .arg(value, settingName(setting));
    if (match.captured(1).isEmpty())
        return SetAction{.setting = setting, .level = number};
    return SetAction{.setting = setting, .step = match.captured(1) == u"-" ? -number : number};
}

std::variant<SetAction, QString> parseToggle(DisplaySetting setting, const QString& value)
{
    if (value != u"on" && value != u"off")
        return QStringLiteral(
                   "\u201E%1\u201C ist kein Wert f\u00FCr %2 \u2013 erwartet on oder off.")
            .arg(value, settingName(setting));
    return SetAction{.setting = setting, .on = value == u"on"};
}

QStringList writableNames()
{
    QStringList names{powerShortName()};
    for (const SettingInfo& row : displaySettings()) {
        if (row.writable())
            names.append(row.name);
    }
    return names;
}

} // namespace

std::variant<SetAction, QString> SetAction::parse(const QString& name, const QString& value)
{
    const QString lower = name.toLower();
    const auto setting =
        lower == powerShortName() ? std::optional(DisplaySetting::power) : settingNamed(lower);
    if (!setting || !info(*setting).writable())
        return QStringLiteral("Unbekannte Einstellung \u201E%1\u201C \u2013 m\u00F6glich: %2.")
            .arg(name, joined(writableNames()));
    const QString word = value.toLower();
    switch (info(*setting).kind) {
    case SettingKind::powerState:
        return parsePower(word);
    case SettingKind::input:
        return parseInput(word);
    case SettingKind::level:
        return parseLevel(*setting, word);
    case SettingKind::toggle:
    case SettingKind::text:
        break;
    }
    return parseToggle(*setting, word);
}

void SetAction::applyTo(DisplayController& controller) const
{
    switch (info(setting).kind) {
    case SettingKind::powerState:
        controller.setPower(power);
        return;
    case SettingKind::input:
        controller.setInput(input);
        return;
    case SettingKind::level:
        if (step)
            controller.stepLevel(setting, *step);
        else
            controller.setLevel(setting, double(level));
        return;
    case SettingKind::toggle:
    case SettingKind::text:
        controller.setSwitch(setting, on);
        return;
    }
}

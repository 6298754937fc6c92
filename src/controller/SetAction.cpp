#include "controller/SetAction.h"

#include "controller/RemoteDisplay.h"
#include "protocol/CommandLine.h"
#include "protocol/InputSource.h"
#include "protocol/SmartCommand.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

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
    return QCoreApplication::translate("SetAction", "„%1“ ist kein Betriebszustand – möglich: %2.")
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
    return QCoreApplication::translate("SetAction", "„%1“ ist kein Eingang – möglich: %2.")
        .arg(value, joined(ids));
}

std::variant<SetAction, QString> parseLevel(DisplaySetting setting, const QString& value)
{
    // A level within the range, or a step no wider than it: anything else is a typo.
    const LevelRange range = info(setting).range;
    const bool relative = value.startsWith(u'+') || value.startsWith(u'-');
    const auto number = readWholeLevel(value);
    const bool fits = number && (relative ? std::abs(*number) <= range.maximum - range.minimum
                                          : range.contains(double(*number)));
    if (!fits)
        return QCoreApplication::translate("SetAction",
                                           "„%1“ ist kein Wert für %2 – erwartet %3 bis %4, +N "
                                           "oder -N.")
            .arg(value, settingName(setting), QString::number(range.minimum),
                 QString::number(range.maximum));
    if (!relative)
        return SetAction{.setting = setting, .level = *number};
    return SetAction{.setting = setting, .step = *number};
}

std::variant<SetAction, QString> parseToggle(DisplaySetting setting, const QString& value)
{
    if (value != u"on" && value != u"off")
        return QCoreApplication::translate("SetAction",
                                           "„%1“ ist kein Wert für %2 – erwartet on oder off.")
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
        return QCoreApplication::translate("SetAction",
                                           "Unbekannte Einstellung „%1“ – möglich: %2.")
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

void SetAction::applyTo(RemoteDisplay& display) const
{
    switch (info(setting).kind) {
    case SettingKind::powerState:
        display.setPower(power);
        return;
    case SettingKind::input:
        display.setInput(input);
        return;
    case SettingKind::level:
        if (step)
            display.stepLevel(setting, *step);
        else
            display.setLevel(setting, double(level));
        return;
    case SettingKind::toggle:
    case SettingKind::text:
        display.setSwitch(setting, on);
        return;
    }
}

QString SetAction::commandText() const
{
    if (step)
        return SmartCommand::relative(setting, *step);
    return SmartCommand::set(setting, *wantedValue());
}

std::optional<QString> SetAction::wantedValue() const
{
    switch (info(setting).kind) {
    case SettingKind::powerState:
        return rawValue(power);
    case SettingKind::input:
        return input;
    case SettingKind::level:
        if (step)
            return std::nullopt;
        return QString::number(level);
    case SettingKind::toggle:
    case SettingKind::text:
        break;
    }
    return SmartCommand::onOff(on);
}

#include "cli/SetAction.h"

#include "controller/DisplayController.h"
#include "protocol/InputSource.h"

#include <QRegularExpression>

namespace {

// Volume and brightness are percentages; a step beyond the whole range means a typo.
constexpr qint64 maxLevel = 100;

const QStringList& toggleSettings()
{
    static const QStringList names{QStringLiteral("mute"), QStringLiteral("micmute"),
                                   QStringLiteral("videofreeze"), QStringLiteral("screenshade"),
                                   QStringLiteral("statereporting")};
    return names;
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
            return SetAction{.kind = SetAction::Kind::power,
                             .setting = QStringLiteral("powerstate"),
                             .power = state};
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
            return SetAction{
                .kind = SetAction::Kind::input, .setting = QStringLiteral("input"), .input = value};
        ids.append(source.id);
    }
    return QStringLiteral("\u201E%1\u201C ist kein Eingang \u2013 m\u00F6glich: %2.")
        .arg(value, joined(ids));
}

std::variant<SetAction, QString> parseLevel(const QString& setting, const QString& value)
{
    static const QRegularExpression form(QStringLiteral("^([+-]?)([0-9]{1,3})$"));
    const QRegularExpressionMatch match = form.match(value);
    const qint64 number = match.hasMatch() ? match.captured(2).toLongLong() : -1;
    if (number < 0 || number > maxLevel)
        return QStringLiteral("\u201E%1\u201C ist kein Wert f\u00FCr %2 \u2013 erwartet 0 bis 100, "
                              "+N oder -N.")
            .arg(value, setting);
    if (match.captured(1).isEmpty())
        return SetAction{.kind = SetAction::Kind::level, .setting = setting, .level = number};
    const qint64 step = match.captured(1) == u"-" ? -number : number;
    return SetAction{.kind = SetAction::Kind::levelStep, .setting = setting, .step = step};
}

std::variant<SetAction, QString> parseToggle(const QString& setting, const QString& value)
{
    if (value != u"on" && value != u"off")
        return QStringLiteral(
                   "\u201E%1\u201C ist kein Wert f\u00FCr %2 \u2013 erwartet on oder off.")
            .arg(value, setting);
    return SetAction{.kind = SetAction::Kind::toggle, .setting = setting, .on = value == u"on"};
}

} // namespace

std::variant<SetAction, QString> SetAction::parse(const QString& name, const QString& value)
{
    const QString setting = name.toLower();
    const QString word = value.toLower();
    if (setting == u"power" || setting == u"powerstate")
        return parsePower(word);
    if (setting == u"input")
        return parseInput(word);
    if (setting == u"volume" || setting == u"brightness")
        return parseLevel(setting, word);
    if (toggleSettings().contains(setting))
        return parseToggle(setting, word);
    return QStringLiteral(
               "Unbekannte Einstellung \u201E%1\u201C \u2013 m\u00F6glich: power, input, "
               "volume, brightness, %2.")
        .arg(name, joined(toggleSettings()));
}

void SetAction::applyTo(DisplayController& controller) const
{
    const bool volume = setting == u"volume";
    switch (kind) {
    case Kind::power:
        controller.setPower(power);
        return;
    case Kind::input:
        controller.setInput(input);
        return;
    case Kind::level:
        volume ? controller.setVolume(double(level)) : controller.setBrightness(double(level));
        return;
    case Kind::levelStep:
        volume ? controller.stepVolume(step) : controller.stepBrightness(step);
        return;
    case Kind::toggle:
        if (setting == u"mute")
            controller.setMute(on);
        else if (setting == u"micmute")
            controller.setMicMute(on);
        else if (setting == u"videofreeze")
            controller.setVideoFreeze(on);
        else if (setting == u"screenshade")
            controller.setScreenShade(on);
        else
            controller.setStateReporting(on);
        return;
    }
}

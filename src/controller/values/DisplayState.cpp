#include "controller/values/DisplayState.h"

#include <QLocale>
#include <cmath>

namespace {

// A decimal number in C-locale syntax, the whole text; nothing for anything else.
std::optional<double> readNumber(const QString& text)
{
    if (text.isEmpty() || text.front().isSpace())
        return std::nullopt;
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    // "nan" and "inf" read as numbers, but no slider can show them.
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// The field of a switch or a level, for the state and for a read-only state alike.
template <typename State>
auto& toggleIn(State& state, DisplaySetting setting)
{
    switch (setting) {
    case DisplaySetting::mute:
        return state.mute;
    case DisplaySetting::micMute:
        return state.micMute;
    case DisplaySetting::videoFreeze:
        return state.videoFreeze;
    case DisplaySetting::screenShade:
        return state.screenShade;
    default:
        return state.stateReporting;
    }
}

template <typename State>
auto& levelIn(State& state, DisplaySetting setting)
{
    return setting == DisplaySetting::volume ? state.volume : state.brightness;
}

} // namespace

std::optional<DisplaySeries> DisplayState::apply(const QString& name, const QString& value,
                                                 bool fromQuery, TimePoint now)
{
    const auto setting = settingNamed(name);
    if (!setting)
        return std::nullopt;
    const SettingKind kind = info(*setting).kind;
    if (fromQuery && kind == SettingKind::level && now < levelQueriesIgnoredUntil)
        return std::nullopt;

    const QString lower = value.toLower();
    switch (kind) {
    case SettingKind::powerState:
        power = powerStateFromRaw(lower);
        break;
    case SettingKind::input:
        input = lower;
        break;
    case SettingKind::level:
        if (const auto number = readNumber(lower))
            level(*setting) = *number;
        break;
    case SettingKind::toggle:
        toggle(*setting) = lower == u"on";
        break;
    case SettingKind::text:
        switch (*setting) {
        case DisplaySetting::modelNumber:
            modelNumber = value;
            return detectSeries(value);
        case DisplaySetting::serialNumber:
            serialNumber = value;
            break;
        case DisplaySetting::partNumber:
            partNumber = value;
            break;
        default:
            firmware = value;
            break;
        }
        break;
    }
    return std::nullopt;
}

bool& DisplayState::toggle(DisplaySetting setting)
{
    return toggleIn(*this, setting);
}

double& DisplayState::level(DisplaySetting setting)
{
    return levelIn(*this, setting);
}

DisplayState::Value DisplayState::value(DisplaySetting setting) const
{
    switch (info(setting).kind) {
    case SettingKind::powerState:
        return power ? Value(rawValue(*power)) : Value();
    case SettingKind::input:
        return input ? Value(*input) : Value();
    case SettingKind::level:
        return levelIn(*this, setting);
    case SettingKind::toggle:
        return toggleIn(*this, setting);
    case SettingKind::text:
        break;
    }
    switch (setting) {
    case DisplaySetting::modelNumber:
        return modelNumber;
    case DisplaySetting::serialNumber:
        return serialNumber;
    case DisplaySetting::partNumber:
        return partNumber;
    default:
        return firmware;
    }
}

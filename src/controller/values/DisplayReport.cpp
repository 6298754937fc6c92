#include "controller/values/DisplayReport.h"

#include "controller/values/DisplayState.h"

#include <QLocale>

namespace {

// A setting's value as told on this run's line, typed for JSON.
QJsonValue told(const DisplayState& state, DisplaySetting setting)
{
    if (state.standing(setting) != DisplayState::Standing::live)
        return QJsonValue::Null;
    switch (info(setting).kind) {
    case SettingKind::level:
        if (const auto level = state.level(setting))
            return *level;
        return QJsonValue::Null;
    case SettingKind::toggle:
        return state.toggle(setting).value_or(false);
    case SettingKind::powerState:
    case SettingKind::input:
    case SettingKind::text:
        break;
    }
    return state.knowledge(setting).value.value_or(QString());
}

} // namespace

QStringList DisplayReport::statusNames()
{
    QStringList names;
    for (const SettingInfo& row : displaySettings())
        names.append(row.name);
    names.append(seriesName());
    return names;
}

QJsonValue DisplayReport::value(const DisplayState& state, const QString& name)
{
    if (name == seriesName()) {
        // Known only from the model number this display told.
        const auto series =
            state.standing(DisplaySetting::modelNumber) == DisplayState::Standing::live
                ? state.series()
                : std::nullopt;
        return series ? QJsonValue(rawValue(*series)) : QJsonValue(QJsonValue::Null);
    }
    const auto setting = settingNamed(name);
    return setting ? told(state, *setting) : QJsonValue(QJsonValue::Null);
}

QJsonObject DisplayReport::values(const DisplayState& state)
{
    QJsonObject values;
    for (const QString& name : statusNames())
        values.insert(name, value(state, name));
    return values;
}

std::optional<QString> DisplayReport::plainLine(const QString& name, const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return name + (value.toBool() ? QStringLiteral("=on") : QStringLiteral("=off"));
    case QJsonValue::Double:
        return name + u'=' +
               QLocale::c().toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QJsonValue::String:
        return name + u'=' + value.toString();
    default:
        return std::nullopt;
    }
}

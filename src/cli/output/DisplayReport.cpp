#include "cli/output/DisplayReport.h"

#include "cli/output/ReportedValues.h"
#include "controller/DisplayController.h"

#include <QLocale>

namespace {

QJsonValue toJson(const DisplayState::Value& value)
{
    if (const bool* on = std::get_if<bool>(&value))
        return *on;
    if (const double* number = std::get_if<double>(&value))
        return *number;
    if (const QString* text = std::get_if<QString>(&value))
        return *text;
    return QJsonValue::Null;
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

QJsonValue DisplayReport::value(const DisplayController& controller, const ReportedValues& reported,
                                const QString& name)
{
    if (name == seriesName())
        return rawValue(controller.series());
    if (!reported.contains(name))
        return QJsonValue::Null;
    if (const auto setting = settingNamed(name))
        return toJson(controller.display().value(*setting));
    const auto text = reported.value(name);
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
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

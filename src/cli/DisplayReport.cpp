#include "cli/DisplayReport.h"

#include "cli/ReportedValues.h"
#include "controller/DisplayController.h"

#include <QLocale>

namespace {

using Reader = QJsonValue (*)(const DisplayController&);

QJsonValue optionalText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// The settings the controller keeps, and how to read each from it.
const QHash<QString, Reader>& readers()
{
    using C = const DisplayController&;
    static const QHash<QString, Reader> table{
        {"powerstate",
         [](C c) {
             return optionalText(c.power() ? std::optional(rawValue(*c.power())) : std::nullopt);
         }},
        {"input", [](C c) { return optionalText(c.input()); }},
        {"volume", [](C c) { return QJsonValue(c.volume()); }},
        {"mute", [](C c) { return QJsonValue(c.mute()); }},
        {"micmute", [](C c) { return QJsonValue(c.micMute()); }},
        {"brightness", [](C c) { return QJsonValue(c.brightness()); }},
        {"videofreeze", [](C c) { return QJsonValue(c.videoFreeze()); }},
        {"screenshade", [](C c) { return QJsonValue(c.screenShade()); }},
        {"statereporting", [](C c) { return QJsonValue(c.stateReporting()); }},
        {"modelnum", [](C c) { return QJsonValue(c.modelNumber()); }},
        {"serialnum", [](C c) { return QJsonValue(c.serialNumber()); }},
        {"partnum", [](C c) { return QJsonValue(c.partNumber()); }},
        {"fwversion", [](C c) { return QJsonValue(c.firmware()); }},
    };
    return table;
}

} // namespace

const QStringList& DisplayReport::statusNames()
{
    static const QStringList names{"powerstate",     "input",      "volume",      "mute",
                                   "micmute",        "brightness", "videofreeze", "screenshade",
                                   "statereporting", "modelnum",   "serialnum",   "partnum",
                                   "fwversion",      "series"};
    return names;
}

QJsonValue DisplayReport::value(const DisplayController& controller, const ReportedValues& reported,
                                const QString& name)
{
    if (name == u"series")
        return rawValue(controller.series());
    if (!reported.contains(name))
        return QJsonValue::Null;
    if (const auto reader = readers().constFind(name); reader != readers().constEnd())
        return (*reader)(controller);
    return optionalText(reported.value(name));
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

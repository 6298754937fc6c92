#include "mqtt/MqttCommand.h"

#include "mqtt/HomeAssistant.h"
#include "protocol/PowerState.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MqttCommand", text);
}

// Longer than any value of the table; anything longer is not one.
constexpr qsizetype maxPayload = 32;

// "40.0" is how Home Assistant may write a whole number; "40.5" is no level.
QString wholeNumber(const QString& value)
{
    static const QRegularExpression decimal(QStringLiteral("^([0-9]{1,3})(?:\\.0+)?$"));
    const auto match = decimal.match(value);
    return match.hasMatch() ? match.captured(1) : value;
}

} // namespace

namespace MqttCommand {

std::variant<SetAction, QString> parse(const QString& object, const QByteArray& payload,
                                       DisplaySeries series)
{
    const HomeAssistant::Entity* entity = HomeAssistant::entityFor(object);
    if (!entity || !entity->writable || !entity->setting)
        return tr("„%1“ nimmt keine Befehle an.").arg(HomeAssistant::token(object));
    if (payload.size() > maxPayload)
        return tr("%1: %2 Bytes sind kein Wert.").arg(object).arg(payload.size());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(payload);
    if (utf8.hasError())
        return tr("%1: kein UTF-8-Text.").arg(object);
    for (const QChar c : text) {
        if (!c.isPrint())
            return tr("%1: Steuerzeichen im Wert.").arg(object);
    }
    QString value = text.trimmed();
    const SettingInfo& setting = info(*entity->setting);
    if (setting.kind == SettingKind::level) {
        // Absolute only: a step could not be confirmed as the display's new value.
        value = wholeNumber(value);
        bool whole = false;
        const int number = value.toInt(&whole);
        if (!whole || value.startsWith(u'+') || value.startsWith(u'-') ||
            !setting.range.contains(number))
            return tr("%1: „%2“ – erwartet eine ganze Zahl von %3 bis %4.")
                .arg(object, value, QString::number(setting.range.minimum),
                     QString::number(setting.range.maximum));
    }
    auto parsed = SetAction::parse(setting.name, value);
    if (const QString* refusal = std::get_if<QString>(&parsed))
        return QStringLiteral("%1: %2").arg(object, *refusal);
    const SetAction action = std::get<SetAction>(parsed);
    // The select offers the series' states; another series' state is none of this display.
    if (action.setting == DisplaySetting::power &&
        !availablePowerStates(series).contains(action.power))
        return tr("%1: „%2“ kennt die %3-Serie nicht.").arg(object, value, rawValue(series));
    return action;
}

} // namespace MqttCommand

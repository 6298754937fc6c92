// A message on a command topic, from anyone on the broker: the first byte picks the topic's
// object (also ones that take no commands, and one that is none), the rest is the payload.
// It gives a refusal or one setting's value as the display reads it; never anything else.
#include "FuzzCheck.h"
#include "mqtt/HomeAssistant.h"
#include "mqtt/MqttCommand.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"

#include <cstdint>

namespace {

bool validValue(const SetAction& action, const QString& value, DisplaySeries series)
{
    const SettingInfo& setting = info(action.setting);
    switch (setting.kind) {
    case SettingKind::powerState: {
        const auto state = powerStateFromRaw(value);
        return state && availablePowerStates(series).contains(*state);
    }
    case SettingKind::input:
        for (const InputSource& source : InputSource::all()) {
            if (source.id == value)
                return true;
        }
        return false;
    case SettingKind::level: {
        bool whole = false;
        const int number = value.toInt(&whole);
        return whole && QString::number(number) == value && setting.range.contains(number);
    }
    case SettingKind::toggle:
        return value == u"on" || value == u"off";
    case SettingKind::text:
        return false;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto& entities = HomeAssistant::entities();
    const qsizetype pick = data[0] % (entities.size() + 1);
    const QString object =
        pick < entities.size() ? entities.at(pick).object : QStringLiteral("raw");
    const DisplaySeries series = data[0] & 0x80 ? DisplaySeries::rx : DisplaySeries::qx;
    const QByteArray payload(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const auto parsed = MqttCommand::parse(object, payload, series);
    if (const auto* refusal = std::get_if<QString>(&parsed)) {
        require(!refusal->isEmpty(), "a refusal says why");
        for (const QChar c : *refusal)
            require(c.isPrint(), "a refusal for the log has no control character");
        return 0;
    }
    const SetAction& action = std::get<SetAction>(parsed);
    const HomeAssistant::Entity* entity = HomeAssistant::entityFor(object);
    require(entity && entity->writable && entity->setting == action.setting,
            "only a writable object's own setting");
    require(!action.step.has_value(), "absolute values only");
    const QString line = action.commandText();
    const QString prefix = QStringLiteral("set ") + settingName(action.setting) + u'=';
    require(line.startsWith(prefix), "one set line of the object's setting");
    require(validValue(action, line.mid(prefix.size()), series), "a valid value of the setting");
    return 0;
}

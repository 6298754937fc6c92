#include "mqtt/HomeAssistant.h"

#include "protocol/InputSource.h"
#include "protocol/PowerState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HomeAssistant {

namespace {

const QString base = QStringLiteral("bildwart");

QString uniqueId(const QString& serial)
{
    return QStringLiteral("bildwart_") + token(serial);
}

QJsonObject device(const DisplayIdentity& display, const QString& host)
{
    QJsonObject device{
        {"identifiers", QJsonArray{uniqueId(display.serial)}},
        {"name", display.name},
        {"via_device", QStringLiteral("bildwart_bridge_") + token(host)},
    };
    if (!display.model.isEmpty())
        device.insert("model", display.model);
    if (!display.firmware.isEmpty())
        device.insert("sw_version", display.firmware);
    return device;
}

QJsonArray options(const Entity& entity, DisplaySeries series)
{
    QJsonArray options;
    if (entity.setting == DisplaySetting::power) {
        for (PowerState state : availablePowerStates(series))
            options.append(rawValue(state));
    } else {
        for (const InputSource& source : InputSource::all())
            options.append(source.id);
    }
    return options;
}

} // namespace

const QList<Entity>& entities()
{
    using S = DisplaySetting;
    static const QList<Entity> table{
        {"power", "select", "Betriebszustand", S::power, true, false},
        {"input", "select", "Eingang", S::input, true, false},
        {"volume", "number", "Lautstärke", S::volume, true, false},
        {"brightness", "number", "Helligkeit", S::brightness, true, false},
        {"mute", "switch", "Ton aus", S::mute, true, false},
        {"microphone_mute", "switch", "Mikrofon aus", S::micMute, true, false},
        {"video_freeze", "switch", "Bild eingefroren", S::videoFreeze, true, false},
        {"screen_shade", "switch", "Bildschirm abgedeckt", S::screenShade, true, false},
        {"model", "sensor", "Modell", S::modelNumber, false, true},
        {"firmware", "sensor", "Firmware", S::firmware, false, true},
        {"connectivity", "binary_sensor", "Verbindung", std::nullopt, false, true},
    };
    return table;
}

const Entity* entityFor(const QString& object)
{
    for (const Entity& entity : entities()) {
        if (entity.object == object)
            return &entity;
    }
    return nullptr;
}

const Entity* entityFor(DisplaySetting setting)
{
    for (const Entity& entity : entities()) {
        if (entity.setting == setting)
            return &entity;
    }
    return nullptr;
}

QString token(const QString& text)
{
    QString made;
    for (const QChar c : text) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        made.append(kept ? c : u'_');
    }
    return made.left(64);
}

QString bridgeStatusTopic(const QString& host)
{
    return base + u'/' + token(host) + QStringLiteral("/status");
}

QString availabilityTopic(const QString& serial)
{
    return base + u'/' + token(serial) + QStringLiteral("/availability");
}

QString stateTopic(const QString& serial, const QString& object)
{
    return base + u'/' + token(serial) + u'/' + object;
}

QString commandTopic(const QString& serial, const QString& object)
{
    return stateTopic(serial, object) + QStringLiteral("/set");
}

QString configTopic(const QString& serial, const Entity& entity)
{
    return QStringLiteral("homeassistant/") + entity.component + u'/' + uniqueId(serial) + u'/' +
           entity.object + QStringLiteral("/config");
}

QString commandPattern()
{
    return base + QStringLiteral("/+/+/set");
}

std::optional<std::pair<QString, QString>> commandOf(const QString& topic)
{
    const QStringList levels = topic.split(u'/');
    if (levels.size() != 4 || levels.at(0) != base || levels.at(3) != u"set")
        return std::nullopt;
    return std::pair(levels.at(1), levels.at(2));
}

QByteArray online()
{
    return QByteArrayLiteral("online");
}

QByteArray offline()
{
    return QByteArrayLiteral("offline");
}

QList<MqttMessage> discovery(const DisplayIdentity& display, const QString& host)
{
    QList<MqttMessage> messages;
    const QJsonObject bridgeAvailability{{"topic", bridgeStatusTopic(host)}};
    const QJsonObject displayAvailability{{"topic", availabilityTopic(display.serial)}};
    for (const Entity& entity : entities()) {
        QJsonObject config{
            {"name", entity.name},
            {"has_entity_name", true},
            {"unique_id", uniqueId(display.serial) + u'_' + entity.object},
            {"device", device(display, host)},
        };
        if (entity.diagnostic)
            config.insert("entity_category", "diagnostic");
        if (!entity.setting) {
            // Whether the display answers: shown while the bridge is there, also when the
            // display is not.
            config.insert("state_topic", availabilityTopic(display.serial));
            config.insert("device_class", "connectivity");
            config.insert("payload_on", QString::fromLatin1(online()));
            config.insert("payload_off", QString::fromLatin1(offline()));
            config.insert("availability", QJsonArray{bridgeAvailability});
        } else {
            config.insert("state_topic", stateTopic(display.serial, entity.object));
            config.insert("availability", QJsonArray{bridgeAvailability, displayAvailability});
            config.insert("availability_mode", "all");
        }
        if (entity.writable)
            config.insert("command_topic", commandTopic(display.serial, entity.object));
        if (entity.component == u"select") {
            config.insert("options", options(entity, display.series));
        } else if (entity.component == u"number") {
            const LevelRange range = info(*entity.setting).range;
            config.insert("min", range.minimum);
            config.insert("max", range.maximum);
            config.insert("step", 1);
            config.insert("mode", "slider");
        } else if (entity.component == u"switch") {
            config.insert("payload_on", "on");
            config.insert("payload_off", "off");
        }
        messages.append({configTopic(display.serial, entity),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}

QList<MqttMessage> removal(const QString& serial)
{
    QList<MqttMessage> messages;
    for (const Entity& entity : entities()) {
        messages.append({configTopic(serial, entity), {}});
        if (entity.setting)
            messages.append({stateTopic(serial, entity.object), {}});
    }
    messages.append({availabilityTopic(serial), {}});
    return messages;
}

} // namespace HomeAssistant

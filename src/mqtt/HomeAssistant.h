#pragma once

#include "protocol/DisplaySeries.h"
#include "protocol/DisplaySetting.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// One message for the broker.
struct MqttMessage {
    QString topic;
    QByteArray payload;
    bool retain = true;

    bool operator==(const MqttMessage&) const = default;
};

// What Home Assistant's MQTT discovery needs to know of a display.
struct DisplayIdentity {
    QString serial;   // as the display reports it
    QString model;    // empty while unknown
    QString firmware; // empty while unknown
    QString name;     // the target's name
    DisplaySeries series = DisplaySeries::qx;

    bool operator==(const DisplayIdentity&) const = default;
};

// The topics of the bridge and its displays, and Home Assistant's discovery messages:
//   bildwart/<host>/status                 online | offline (retained; the last will)
//   bildwart/<serial>/availability         online | offline (retained)
//   bildwart/<serial>/<object>             the state (retained)
//   bildwart/<serial>/<object>/set         commands, for the writable objects
//   homeassistant/<component>/bildwart_<serial>/<object>/config
// Serials and host names are reduced to letters, digits, "_" and "-": a display reporting
// "#" or "/" in its serial must not make a wildcard or a level of a topic.
namespace HomeAssistant {

struct Entity {
    QString object;                        // "volume", "video_freeze"
    QString component;                     // "number", "switch", …
    QString name;                          // German, shown after the device's name
    std::optional<DisplaySetting> setting; // none: connectivity
    bool writable = false;
    bool diagnostic = false;
};

// power, input, volume, brightness, mute, microphone_mute, video_freeze, screen_shade,
// model, firmware, connectivity
const QList<Entity>& entities();
const Entity* entityFor(const QString& object);
const Entity* entityFor(DisplaySetting setting);

QString token(const QString& text);
QString bridgeStatusTopic(const QString& host);
QString availabilityTopic(const QString& serial);
QString stateTopic(const QString& serial, const QString& object);
QString commandTopic(const QString& serial, const QString& object);
QString configTopic(const QString& serial, const Entity& entity);
// What the bridge subscribes to for commands.
QString commandPattern();
// The serial's token and the object of a command topic; none for any other topic.
std::optional<std::pair<QString, QString>> commandOf(const QString& topic);

QByteArray online();
QByteArray offline();

// One retained configuration per entity; `host` is the bridge's.
QList<MqttMessage> discovery(const DisplayIdentity& display, const QString& host);
// Empty retained messages that remove a display's configurations, states and availability.
QList<MqttMessage> removal(const QString& serial);

} // namespace HomeAssistant

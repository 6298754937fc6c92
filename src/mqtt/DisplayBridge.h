#pragma once

#include "controller/SetAction.h"
#include "mqtt/HomeAssistant.h"

#include <QHash>
#include <QObject>
#include <map>

class DisplayController;
class MqttOutlet;
struct CommandResult;

// One display on the broker, from what the controller knows of it. Nothing is published
// before the display has told its serial number on this line (its device in Home Assistant
// is named by it); then its discovery messages, its availability (online while it answers)
// and every value it told on this line, each when it changes. A value not known is not
// published. Another serial on the same line is another display: the old one's messages are
// removed. Commands go through the display's queue like any other; a confirmed one publishes
// the new state, a refused or failed one the display's real value, with the reason in the
// display's log.
class DisplayBridge : public QObject {
    Q_OBJECT

public:
    DisplayBridge(MqttOutlet& outlet, DisplayController& controller, QString name, QString host,
                  QObject* parent = nullptr);

    // The serial as it stands in the topics; empty while unknown.
    QString serialToken() const;
    // After every connect to the broker: everything again.
    void republish();
    // A message on one of this display's command topics.
    void command(const QString& object, const QByteArray& payload, bool retained);
    // A clean goodbye: the display is offline for Home Assistant.
    void sayOffline();

private:
    void refresh();
    void onFinished(const CommandResult& result);
    // The state's payload of an entity; none while its value is not known.
    std::optional<QByteArray> stateOf(const HomeAssistant::Entity& entity) const;
    void publishState(const HomeAssistant::Entity& entity, bool evenIfSame);
    void put(const QString& topic, const QByteArray& payload, bool evenIfSame);
    void refuse(const QString& object, const QString& why);
    bool available() const;

    MqttOutlet& m_outlet;
    DisplayController& m_controller;
    QString m_name;
    QString m_host;
    QString m_serial; // as the display reported it
    std::optional<DisplayIdentity> m_announced;
    std::map<QString, QByteArray> m_published; // by topic
    bool m_silent = false;                     // its last command timed out
    quint64 m_nextTicket;
    QHash<quint64, SetAction> m_pending; // by ticket
};

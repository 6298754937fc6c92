#pragma once

#include "mqtt/MqttClient.h"

#include <QObject>
#include <memory>
#include <vector>

class DisplayBridge;
class DisplayController;

// The displays of "bildwartctl serve" on one broker: the connection with its last will
// (bildwart/<host>/status = offline), "online" once connected, each display's messages
// again at every connect, and the commands routed to their display.
class MqttBridge : public QObject {
    Q_OBJECT

public:
    // `host`: this machine's name, for the bridge's topic and the displays' via_device.
    MqttBridge(const MqttAddress& address, std::optional<MqttCredentials> credentials, QString host,
               QObject* parent = nullptr);
    ~MqttBridge() override;

    void add(DisplayController& controller, const QString& name);
    void start();
    // Every display offline, then the bridge, then a clean disconnect.
    void stop();

signals:
    // A line for the log: what happened to the connection, in German.
    void said(const QString& line, bool problem);

private:
    void onConnected();
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);

    QString m_host;
    MqttAddress m_address;
    std::unique_ptr<MqttClient> m_client;
    std::vector<std::unique_ptr<DisplayBridge>> m_displays;
};

#pragma once

#include "mqtt/HomeAssistant.h"
#include "mqtt/MqttAddress.h"
#include "mqtt/MqttCredentials.h"

#include <QObject>
#include <memory>
#include <optional>

class HandOver;
struct mosquitto;
struct mosquitto_message;

// Whatever publishes for a display: the broker's client, or a test's recorder.
class MqttOutlet {
public:
    virtual ~MqttOutlet() = default;
    virtual bool isConnected() const = 0;
    // Dropped while not connected: whoever publishes publishes everything again on
    // connected().
    virtual void publish(const MqttMessage& message) = 0;
};

// A connection to the broker with libmosquitto. The library runs its network loop on a
// thread of its own (its asynchronous connect requires that), which also reconnects with a
// growing pause (1 s up to a minute) and keeps the connection alive; its callbacks only
// hand their news over to the event loop. The last will is set
// before the first connect; stop() publishes its final word and disconnects cleanly.
class MqttClient final : public QObject, public MqttOutlet {
    Q_OBJECT

public:
    struct Options {
        MqttAddress address;
        std::optional<MqttCredentials> credentials;
        QString clientId;
        MqttMessage will; // published by the broker when this client is gone unasked
    };

    explicit MqttClient(Options options, QObject* parent = nullptr);
    ~MqttClient() override;

    // Looks up the broker's name (without waiting) and connects; stays at it until stop().
    void start();
    // Publishes `last`, disconnects, and ends the library's thread.
    void stop(const std::optional<MqttMessage>& last);

    bool isConnected() const override { return m_connected; }
    void publish(const MqttMessage& message) override;
    void subscribe(const QString& pattern);

signals:
    void connected();
    // Said once per loss, and for every failed attempt: why, in German.
    void disconnected(const QString& why);
    void message(const QString& topic, const QByteArray& payload, bool retained);

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    void lookUp();
    void connectNow();
    void handleConnect(int code);
    void handleDisconnect(int code);

    Options m_options;
    std::unique_ptr<HandOver> m_handOver;
    mosquitto* m_client = nullptr;
    bool m_connected = false;
    bool m_looping = false; // the library's thread runs
    bool m_stopping = false;
    int m_retryDelayMs = 1000; // the next wait before a lookup or a first connect
};

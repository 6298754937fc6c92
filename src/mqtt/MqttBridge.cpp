#include "mqtt/MqttBridge.h"

#include "mqtt/DisplayBridge.h"

#include <QCoreApplication>

MqttBridge::MqttBridge(const MqttAddress& address, std::optional<MqttCredentials> credentials,
                       QString host, QObject* parent)
    : QObject(parent)
    , m_host(std::move(host))
    , m_address(address)
{
    MqttClient::Options options;
    options.address = address;
    options.credentials = std::move(credentials);
    // Unique per process: a second serve on this machine must not push the first off.
    options.clientId = QStringLiteral("bildwart-%1-%2")
                           .arg(HomeAssistant::token(m_host))
                           .arg(QCoreApplication::applicationPid());
    options.will = {HomeAssistant::bridgeStatusTopic(m_host), HomeAssistant::offline(), true};
    m_client = std::make_unique<MqttClient>(options);
    connect(m_client.get(), &MqttClient::connected, this, &MqttBridge::onConnected);
    connect(m_client.get(), &MqttClient::disconnected, this,
            [this](const QString& why) { emit said(tr("MQTT: %1").arg(why), true); });
    connect(m_client.get(), &MqttClient::message, this, &MqttBridge::onMessage);
}

MqttBridge::~MqttBridge()
{
    // The displays publish through the client: they go first.
    m_displays.clear();
    m_client.reset();
}

void MqttBridge::add(DisplayController& controller, const QString& name)
{
    m_displays.push_back(std::make_unique<DisplayBridge>(*m_client, controller, name, m_host));
}

void MqttBridge::start()
{
    m_client->start();
}

void MqttBridge::stop()
{
    if (m_client->isConnected()) {
        for (auto& display : m_displays)
            display->sayOffline();
    }
    m_client->stop(
        MqttMessage{HomeAssistant::bridgeStatusTopic(m_host), HomeAssistant::offline(), true});
}

void MqttBridge::onConnected()
{
    emit said(tr("MQTT: verbunden mit %1").arg(m_address.toString()), false);
    m_client->publish({HomeAssistant::bridgeStatusTopic(m_host), HomeAssistant::online(), true});
    m_client->subscribe(HomeAssistant::commandPattern());
    for (auto& display : m_displays)
        display->republish();
}

void MqttBridge::onMessage(const QString& topic, const QByteArray& payload, bool retained)
{
    const auto command = HomeAssistant::commandOf(topic);
    if (!command)
        return;
    // Another bridge's display on the same broker is not ours to answer.
    for (auto& display : m_displays) {
        if (!display->serialToken().isEmpty() && display->serialToken() == command->first)
            display->command(command->second, payload, retained);
    }
}

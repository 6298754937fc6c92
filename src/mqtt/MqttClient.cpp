#include "mqtt/MqttClient.h"

#include "process/HandOver.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>

namespace {

constexpr int keepAliveSeconds = 30;
constexpr int qos = 1;
constexpr int maxRetryDelayMs = 60'000;

QString tr(const char* text)
{
    return QCoreApplication::translate("MqttClient", text);
}

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The broker's answer to the connect, in German.
QString refusal(int code)
{
    switch (code) {
    case 1:
        return tr("der Broker versteht diese MQTT-Version nicht");
    case 2:
        return tr("der Broker lehnt die Client-Kennung ab");
    case 3:
        return tr("der Broker ist nicht bereit");
    case 4:
        return tr("Benutzer oder Passwort abgelehnt");
    case 5:
        return tr("nicht berechtigt (Zugangsdaten prüfen)");
    default:
        return tr("vom Broker abgelehnt (Code %1)").arg(code);
    }
}

QString failedConnect(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return tr("Verbindung abgelehnt (läuft der Broker, stimmt der Port?)");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return tr("Rechner nicht erreichbar");
    case ETIMEDOUT:
        return tr("keine Antwort vom Rechner");
    default:
        return QString::fromLocal8Bit(strerror(error));
    }
}

QString lost(int code)
{
    switch (code) {
    case MOSQ_ERR_KEEPALIVE:
        return tr("der Broker antwortet nicht mehr");
    case MOSQ_ERR_CONN_LOST:
        return tr("Verbindung zum Broker verloren");
    case MOSQ_ERR_TLS:
        return tr("TLS-Fehler (Zertifikat des Brokers?)");
    case MOSQ_ERR_PROTOCOL:
        return tr("Protokollfehler");
    default:
        return tr("Verbindung zum Broker getrennt (%1)")
            .arg(QString::fromUtf8(mosquitto_strerror(code)));
    }
}

} // namespace

MqttClient::MqttClient(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    initLibrary();
    m_handOver = std::make_unique<HandOver>();
    m_client = mosquitto_new(m_options.clientId.toUtf8().constData(), true, this);
    mosquitto_connect_callback_set(m_client, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_client, &MqttClient::onMessage);
    mosquitto_reconnect_delay_set(m_client, 1, 60, true);
    // Small messages that answer a command: not held back for a full segment.
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    const QByteArray topic = m_options.will.topic.toUtf8();
    mosquitto_will_set(m_client, topic.constData(), int(m_options.will.payload.size()),
                       m_options.will.payload.constData(), qos, m_options.will.retain);
    if (m_options.credentials) {
        const QByteArray user = m_options.credentials->user.toUtf8();
        const QByteArray password = m_options.credentials->password.toUtf8();
        mosquitto_username_pw_set(m_client, user.constData(), password.constData());
    }
    if (m_options.address.tls) {
        mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        mosquitto_tls_set(m_client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
    }
}

MqttClient::~MqttClient()
{
    stop(std::nullopt);
    mosquitto_destroy(m_client);
}

void MqttClient::start()
{
    // An address needs no name server.
    if (!QHostAddress(m_options.address.host).isNull())
        connectNow();
    else
        lookUp();
}

// The library resolves the name on the caller's thread: asked first without waiting, the
// system's answer is at hand when it asks, and a broken name server never holds the loop.
void MqttClient::lookUp()
{
    if (m_stopping)
        return;
    QHostInfo::lookupHost(m_options.address.host, this, [this](const QHostInfo& host) {
        if (m_stopping)
            return;
        if (host.error() != QHostInfo::NoError) {
            emit disconnected(tr("%1 lässt sich nicht auflösen – neuer Versuch in %2 s")
                                  .arg(m_options.address.host)
                                  .arg(m_retryDelayMs / 1000));
            QTimer::singleShot(m_retryDelayMs, this, &MqttClient::lookUp);
            m_retryDelayMs = std::min(m_retryDelayMs * 2, maxRetryDelayMs);
            return;
        }
        connectNow();
    });
}

void MqttClient::connectNow()
{
    if (m_stopping)
        return;
    const QByteArray host = m_options.address.host.toUtf8();
    const int code = mosquitto_connect_async(m_client, host.constData(), m_options.address.port,
                                             keepAliveSeconds);
    if (code != MOSQ_ERR_SUCCESS) {
        // Before its first connection the library's thread would only wait for one: the
        // attempts until then are this object's.
        emit disconnected(tr("%1: %2 – neuer Versuch in %3 s")
                              .arg(m_options.address.toString(),
                                   code == MOSQ_ERR_ERRNO ? failedConnect(errno) : lost(code))
                              .arg(m_retryDelayMs / 1000));
        QTimer::singleShot(m_retryDelayMs, this, &MqttClient::connectNow);
        m_retryDelayMs = std::min(m_retryDelayMs * 2, maxRetryDelayMs);
        return;
    }
    // From here on the library's loop reconnects by itself.
    if (!m_looping && mosquitto_loop_start(m_client) == MOSQ_ERR_SUCCESS)
        m_looping = true;
}

void MqttClient::stop(const std::optional<MqttMessage>& last)
{
    if (m_stopping)
        return;
    m_stopping = true;
    if (!m_looping)
        return;
    if (m_connected) {
        if (last)
            publish(*last);
        mosquitto_disconnect(m_client);
        // Written in order: the last word, then the goodbye; the thread ends after it.
        mosquitto_loop_stop(m_client, false);
    } else {
        // Perhaps in the middle of a connect that waits for the network: not waited for.
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, true);
    }
    m_looping = false;
    m_connected = false;
}

void MqttClient::publish(const MqttMessage& message)
{
    if (!m_connected)
        return;
    const QByteArray topic = message.topic.toUtf8();
    mosquitto_publish(m_client, nullptr, topic.constData(), int(message.payload.size()),
                      message.payload.constData(), qos, message.retain);
}

void MqttClient::subscribe(const QString& pattern)
{
    if (!m_connected)
        return;
    mosquitto_subscribe(m_client, nullptr, pattern.toUtf8().constData(), qos);
}

// The library's thread: hand over, nothing else.
void MqttClient::onConnect(mosquitto*, void* self, int code)
{
    auto* client = static_cast<MqttClient*>(self);
    client->m_handOver->post([client, code] { client->handleConnect(code); });
}

void MqttClient::onDisconnect(mosquitto*, void* self, int code)
{
    auto* client = static_cast<MqttClient*>(self);
    client->m_handOver->post([client, code] { client->handleDisconnect(code); });
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    std::string topic = message->topic;
    std::string payload(static_cast<const char*>(message->payload), size_t(message->payloadlen));
    client->m_handOver->post([client, topic = std::move(topic), payload = std::move(payload),
                              retained = message->retain] {
        if (!client->m_stopping)
            emit client->message(QString::fromStdString(topic), QByteArray::fromStdString(payload),
                                 retained);
    });
}

void MqttClient::handleConnect(int code)
{
    if (m_stopping)
        return;
    if (code != 0) {
        emit disconnected(tr("%1: %2").arg(m_options.address.toString(), refusal(code)));
        return;
    }
    m_connected = true;
    m_retryDelayMs = 1000;
    emit connected();
}

void MqttClient::handleDisconnect(int code)
{
    const bool was = m_connected;
    m_connected = false;
    if (m_stopping)
        return;
    if (was || code != MOSQ_ERR_SUCCESS)
        emit disconnected(
            tr("%1: %2 – neuer Versuch folgt").arg(m_options.address.toString(), lost(code)));
}

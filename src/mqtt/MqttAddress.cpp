#include "mqtt/MqttAddress.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QUrl>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MqttAddress", text);
}

QString expected()
{
    return tr("erwartet mqtt://HOST[:PORT] oder mqtts://HOST[:PORT]");
}

} // namespace

std::variant<MqttAddress, QString> MqttAddress::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QString withScheme =
        trimmed.contains(QStringLiteral("://")) ? trimmed : QStringLiteral("mqtt://") + trimmed;
    const QUrl url(withScheme, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (trimmed.isEmpty() || !url.isValid() || url.host().isEmpty())
        return tr("„%1“ ist keine Broker-Adresse – %2.").arg(text, expected());
    if (scheme != u"mqtt" && scheme != u"mqtts")
        return tr("„%1“: unbekanntes Protokoll „%2“ – %3.").arg(text, url.scheme(), expected());
    if (!url.userInfo().isEmpty())
        return tr("„%1“: Benutzer und Passwort gehören nicht auf die Befehlszeile (jeder "
                  "Benutzer kann sie dort lesen) – --mqtt-credentials DATEI oder "
                  "BILDWART_MQTT_USER/BILDWART_MQTT_PASSWORD.")
            .arg(url.toDisplayString(QUrl::RemoveUserInfo));
    if ((!url.path().isEmpty() && url.path() != u"/") || url.hasQuery() || url.hasFragment())
        return tr("„%1“: nach HOST:PORT darf nichts folgen – %2.").arg(text, expected());
    MqttAddress address;
    address.tls = scheme == u"mqtts";
    address.host = url.host();
    address.port = url.port(address.tls ? 8883 : 1883);
    if (address.port < 1)
        return tr("„%1“: Port 0 gibt es nicht – %2.").arg(text, expected());
    return address;
}

QString MqttAddress::toString() const
{
    const bool v6 = QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol;
    return (tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://")) +
           (v6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

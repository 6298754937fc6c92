#include "line/NetworkAddress.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <arpa/inet.h>

namespace {

const QString rawScheme = QStringLiteral("tcp://");
const QString rfc2217Scheme = QStringLiteral("rfc2217://");

// A host name: labels of letters, digits and hyphens, separated by dots.
bool isHostName(const QString& host)
{
    static const QRegularExpression form(
        QStringLiteral("^(?=.{1,253}$)[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
    return form.match(host).hasMatch();
}

} // namespace

std::optional<NetworkAddress> NetworkAddress::parse(const QString& text)
{
    NetworkAddress address;
    QString rest;
    if (text.startsWith(rawScheme, Qt::CaseInsensitive)) {
        rest = text.mid(rawScheme.size());
    } else if (text.startsWith(rfc2217Scheme, Qt::CaseInsensitive)) {
        address.kind = Kind::rfc2217;
        rest = text.mid(rfc2217Scheme.size());
    } else {
        return std::nullopt;
    }
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    QString host = rest.first(colon);
    bool ok = false;
    const uint port = rest.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || rest.mid(colon + 1).startsWith(u'+'))
        return std::nullopt;
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.mid(1, host.size() - 2);
        in6_addr binary{};
        if (::inet_pton(AF_INET6, host.toLatin1().constData(), &binary) != 1)
            return std::nullopt;
    } else if (host.contains(u':') || !isHostName(host)) {
        return std::nullopt;
    }
    address.host = host;
    address.port = quint16(port);
    return address;
}

QString NetworkAddress::examples()
{
    return QCoreApplication::translate(
        "NetworkAddress", "tcp://10.1.2.3:4001 oder rfc2217://gateway.schule.local:2001");
}

QString NetworkAddress::text() const
{
    return (kind == Kind::rawTcp ? rawScheme : rfc2217Scheme) + hostAndPort();
}

QString NetworkAddress::hostAndPort() const
{
    const bool ipv6 = host.contains(u':');
    return (ipv6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

QByteArray NetworkAddress::gensioString() const
{
    const QByteArray family = host.contains(u':') ? QByteArrayLiteral("ipv6,") : QByteArray();
    const QByteArray tcp = "tcp," + family + host.toUtf8() + ',' + QByteArray::number(port);
    return kind == Kind::rawTcp ? tcp : "telnet(rfc2217)," + tcp;
}

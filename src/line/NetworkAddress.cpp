#include "line/NetworkAddress.h"

#include <QCoreApplication>

namespace {

const QString rawScheme = QStringLiteral("tcp://");
const QString rfc2217Scheme = QStringLiteral("rfc2217://");

} // namespace

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

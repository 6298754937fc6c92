#include "line/LineAddress.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <arpa/inet.h>

namespace {

QString validForms()
{
    return QCoreApplication::translate(
        "LineAddress", "gültig sind tcp://HOST:PORT, rfc2217://HOST:PORT (IPv6 in eckigen "
                       "Klammern: tcp://[fd00::17]:4001), HOST:PORT, ein Gerät wie /dev/ttyUSB0 "
                       "und simulator://smart oder simulator://loopback");
}

QString invalid(const QString& text, const QString& why)
{
    return QCoreApplication::translate("LineAddress", "„%1“ ist keine gültige Adresse: %2 – %3.")
        .arg(text, why, validForms());
}

// A host name: labels of letters, digits and hyphens, separated by dots.
bool isHostName(const QString& host)
{
    static const QRegularExpression form(
        QStringLiteral("^(?=.{1,253}$)[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
    return form.match(host).hasMatch();
}

// "HOST:PORT" or "[v6]:PORT" after the scheme; the German reason when it is neither.
std::variant<NetworkAddress, QString> parseHostAndPort(const QString& rest,
                                                       NetworkAddress::Kind kind)
{
    NetworkAddress address;
    address.kind = kind;
    QString host;
    QString port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return QCoreApplication::translate(
                "LineAddress", "die eckige Klammer um die IPv6-Adresse ist nicht geschlossen");
        host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.startsWith(u':'))
            return QCoreApplication::translate("LineAddress",
                                               "nach der IPv6-Adresse fehlt „:PORT“");
        port = after.mid(1);
        in6_addr binary{};
        if (::inet_pton(AF_INET6, host.toLatin1().constData(), &binary) != 1)
            return QCoreApplication::translate("LineAddress", "„%1“ ist keine IPv6-Adresse")
                .arg(host);
    } else {
        const qsizetype colon = rest.indexOf(u':');
        if (colon < 0)
            return rest.isEmpty()
                       ? QCoreApplication::translate("LineAddress", "Rechner und Port fehlen")
                       : QCoreApplication::translate("LineAddress", "der Port fehlt („:PORT“)");
        if (rest.indexOf(u':', colon + 1) >= 0)
            return QCoreApplication::translate("LineAddress",
                                               "eine IPv6-Adresse gehört in eckige Klammern");
        host = rest.first(colon);
        port = rest.mid(colon + 1);
        if (host.isEmpty())
            return QCoreApplication::translate("LineAddress", "der Rechner fehlt");
        if (!isHostName(host))
            return QCoreApplication::translate("LineAddress", "„%1“ ist kein Rechnername")
                .arg(host);
    }
    bool ok = !port.isEmpty() && port.size() <= 5 &&
              std::all_of(port.begin(), port.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const uint number = ok ? port.toUInt(&ok) : 0;
    if (!ok || number == 0 || number > 65535)
        return QCoreApplication::translate("LineAddress",
                                           "der Port muss eine Zahl von 1 bis 65535 sein");
    address.host = host;
    address.port = quint16(number);
    return address;
}

// "tcp://", "rfc2217://" or "simulator://", in any letter case; the scheme of any other
// "x://" as written, to be refused.
std::optional<QString> schemeOf(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLower();
}

// A device path is a path; a bare "HOST:PORT" (no slash) or "[v6]:PORT" is a network port.
bool looksLikeHostAndPort(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\[[^\\]/]*\\]|[^/:\\[\\]]+):\\d+$"));
    return form.match(text).hasMatch();
}

} // namespace

std::variant<LineAddress, QString> LineAddress::parse(const QString& text)
{
    LineAddress address;
    if (text.isEmpty())
        return QCoreApplication::translate("LineAddress", "Keine Adresse angegeben – %1.")
            .arg(validForms());
    const auto scheme = schemeOf(text);
    if (!scheme && !looksLikeHostAndPort(text)) {
        address.m_path = text;
        return address;
    }
    const QString rest = scheme ? text.mid(scheme->size() + 3) : text;
    if (scheme == QStringLiteral("simulator")) {
        address.m_kind = Kind::simulator;
        if (rest == u"smart")
            address.m_simulator = Simulator::smart;
        else if (rest == u"loopback")
            address.m_simulator = Simulator::loopback;
        else
            return QCoreApplication::translate("LineAddress",
                                               "„%1“ ist keine bekannte Adresse – es gibt "
                                               "simulator://smart und simulator://loopback.")
                .arg(text);
        return address;
    }
    NetworkAddress::Kind kind = NetworkAddress::Kind::rawTcp;
    if (scheme == QStringLiteral("rfc2217"))
        kind = NetworkAddress::Kind::rfc2217;
    else if (scheme && scheme != QStringLiteral("tcp"))
        return invalid(text,
                       QCoreApplication::translate("LineAddress", "„%1://“ kennt Bildwart nicht")
                           .arg(*scheme));
    auto network = parseHostAndPort(rest, kind);
    if (const QString* why = std::get_if<QString>(&network))
        return invalid(text, *why);
    address.m_kind = Kind::network;
    address.m_network = std::get<NetworkAddress>(network);
    return address;
}

LineAddress LineAddress::fromText(const QString& text)
{
    auto parsed = parse(text);
    if (auto* address = std::get_if<LineAddress>(&parsed))
        return *address;
    LineAddress device;
    device.m_path = text;
    return device;
}

LineAddress LineAddress::simulator(Simulator which)
{
    LineAddress address;
    address.m_kind = Kind::simulator;
    address.m_simulator = which;
    return address;
}

QString LineAddress::text() const
{
    switch (m_kind) {
    case Kind::device:
        return m_path;
    case Kind::network:
        return m_network.text();
    case Kind::simulator:
        break;
    }
    // Literals only: other files' constants are made from this before main() runs.
    return m_simulator == Simulator::smart ? QStringLiteral("simulator://smart")
                                           : QStringLiteral("simulator://loopback");
}

#pragma once

#include <QString>

// A serial port at the far end of a network connection (LineAddress parses it):
// "tcp://HOST:PORT" for a raw TCP port (a ser2net "tcp" accepter, a gateway's raw
// port: the gateway holds the line settings), "rfc2217://HOST:PORT" for a Telnet
// COM port (the line settings travel with the connection). HOST may be a name, an
// IPv4 address or an IPv6 address in brackets.
struct NetworkAddress {
    enum class Kind { rawTcp, rfc2217 };

    Kind kind = Kind::rawTcp;
    QString host; // without brackets
    quint16 port = 0;

    bool operator==(const NetworkAddress&) const = default;

    // The two forms, as examples for the user.
    static QString examples();

    // "tcp://host:4001" in its normal spelling.
    QString text() const;
    // "host:4001", "[::1]:4001": what messages name.
    QString hostAndPort() const;
    // The connection as libgensio's string describes it.
    QByteArray gensioString() const;
};

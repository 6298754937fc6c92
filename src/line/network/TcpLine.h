#pragma once

#include "line/Line.h"
#include "line/NetworkAddress.h"
#include "line/network/TelnetProbe.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

// A serial port behind a raw TCP port (ser2net's plain accepter, an RS-232 gateway in
// "TCP server" mode): bytes as they are, the serial settings the gateway's own. Runs on
// the event loop of the thread that made it, on Qt's socket, so that a fleet of a thousand
// such lines needs no thread and no descriptor beyond its sockets.
class TcpLine final : public Line {
public:
    // How long connecting may take before the user is told.
    static constexpr int connectTimeoutMs = 5000;
    // What one wake-up hands to the owner at most, and what the socket keeps unread
    // before TCP holds the peer back, as a serial line's buffer holds back a device.
    static constexpr qint64 deliverySize = 4096;
    static constexpr qint64 incomingLimit = 64 * 1024;
    // Bytes handed over and not yet taken by the peer: a peer that does not read shows
    // as a full line, not as growing memory.
    static constexpr qint64 outgoingLimit = 64 * 1024;

    // `entered` is the address as the user wrote it, for the log and the status line.
    TcpLine(NetworkAddress address, QString entered);
    ~TcpLine() override;

    void open(OpenDone done) override;
    std::optional<LineError> apply(const SerialSettings&) override { return std::nullopt; }
    std::optional<LineError> write(const QByteArray& bytes) override;
    void close() override;
    QString name() const override { return m_entered; }

private:
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void readSome();
    void finishOpen(std::optional<LineError> error);
    void lose(const LineError& error);

    NetworkAddress m_address;
    QString m_entered;
    std::unique_ptr<QTcpSocket> m_socket;
    QTimer m_connectTimeout;
    OpenDone m_openDone;
    bool m_open = false;
    bool m_readPosted = false;
    bool m_lossReported = false;
    TelnetProbe m_telnet; // a Telnet port given as tcp://
    // Cleared when the line is destroyed, so a callback that destroys it stops the rest.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

#include "line/network/TcpLine.h"

#include <QCoreApplication>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// A gateway that vanished without a reset (power cut, cable pulled) is noticed after
// 10 s of silence and four unanswered probes 5 s apart: about half a minute.
constexpr int keepAliveIdleSeconds = 10;
constexpr int keepAliveIntervalSeconds = 5;
constexpr int keepAliveProbes = 4;

void shortenKeepAlive(qintptr fd)
{
    const int on = 1;
    ::setsockopt(int(fd), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPIDLE, &keepAliveIdleSeconds, sizeof(int));
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPINTVL, &keepAliveIntervalSeconds, sizeof(int));
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPCNT, &keepAliveProbes, sizeof(int));
}

} // namespace

TcpLine::TcpLine(NetworkAddress address, QString entered)
    : m_address(std::move(address))
    , m_entered(std::move(entered))
{
    m_connectTimeout.setSingleShot(true);
    QObject::connect(&m_connectTimeout, &QTimer::timeout, &m_connectTimeout, [this] {
        finishOpen(LineError::of(LineError::Kind::timedOut, m_address.hostAndPort(), 0,
                                 QString::number(connectTimeoutMs / 1000)));
    });
}

TcpLine::~TcpLine()
{
    *m_alive = false;
    close();
}

void TcpLine::open(OpenDone done)
{
    if (m_socket) {
        done(std::nullopt);
        return;
    }
    m_openDone = std::move(done);
    m_socket = std::make_unique<QTcpSocket>();
    m_socket->setReadBufferSize(incomingLimit);
    QTcpSocket* socket = m_socket.get();
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] { onConnected(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [this](QAbstractSocket::SocketError error) { onSocketError(error); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { readSome(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] {
        // What came before the hang-up belongs to the line; the loss comes after it.
        if (m_socket && m_socket->bytesAvailable() == 0)
            lose(LineError::peerClosed(m_entered));
    });
    m_connectTimeout.start(connectTimeoutMs);
    // A numeric address is used as it is; a name is looked up by Qt without blocking.
    socket->connectToHost(m_address.host, quint16(m_address.port));
}

void TcpLine::onConnected()
{
    shortenKeepAlive(m_socket->socketDescriptor());
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    finishOpen(std::nullopt);
}

void TcpLine::onSocketError(QAbstractSocket::SocketError error)
{
    using E = QAbstractSocket::SocketError;
    const QString where = m_address.hostAndPort();
    if (m_openDone) {
        switch (error) {
        case E::ConnectionRefusedError:
            finishOpen(LineError::of(LineError::Kind::refused, where));
            return;
        case E::HostNotFoundError:
            finishOpen(LineError::of(LineError::Kind::nameUnknown, m_address.host));
            return;
        case E::NetworkError:
            finishOpen(LineError::of(LineError::Kind::unreachable, where));
            return;
        default:
            finishOpen(
                LineError::of(LineError::Kind::connectFailed, where, 0, m_socket->errorString()));
            return;
        }
    }
    if (!m_open || error == E::RemoteHostClosedError)
        return; // told by `disconnected`, after the last bytes
    if (error == E::NetworkError || error == E::SocketTimeoutError)
        lose(LineError::peerClosed(
            m_entered,
            QCoreApplication::translate("NetworkLine", "%1 nicht mehr erreichbar").arg(where)));
    else
        lose(LineError::peerClosed(
            m_entered, QCoreApplication::translate("NetworkLine", "Gegenstelle getrennt (%1)")
                           .arg(m_socket->errorString())));
}

std::optional<LineError> TcpLine::write(const QByteArray& bytes)
{
    if (!m_open)
        return LineError::of(LineError::Kind::notOpen, m_entered);
    if (bytes.isEmpty() || m_lossReported)
        return std::nullopt;
    if (m_socket->bytesToWrite() + bytes.size() > outgoingLimit)
        return LineError::of(LineError::Kind::stalled, m_entered);
    m_socket->write(bytes);
    return std::nullopt;
}

void TcpLine::close()
{
    m_connectTimeout.stop();
    m_openDone = nullptr;
    m_open = false;
    m_readPosted = false;
    if (!m_socket)
        return;
    m_socket->disconnect();
    // Closed at once: nothing waits for the peer to take what is left.
    m_socket->abort();
    // Its signals may be on their way from the event loop; it goes after them.
    m_socket.release()->deleteLater();
}

void TcpLine::finishOpen(std::optional<LineError> error)
{
    m_connectTimeout.stop();
    auto done = std::exchange(m_openDone, nullptr);
    if (!done)
        return;
    if (error)
        close();
    else
        m_open = true;
    done(std::move(error));
}

void TcpLine::readSome()
{
    if (!m_open || m_lossReported)
        return;
    // Copied out at its size: read(N) would hand over the socket's own 16 KiB block when N is
    // all of it, and the socket would allocate a new one for the next few bytes.
    const qint64 available = std::min(m_socket->bytesAvailable(), deliverySize);
    QByteArray chunk(available, Qt::Uninitialized);
    chunk.resize(available > 0 ? std::max<qint64>(0, m_socket->read(chunk.data(), available)) : 0);
    if (m_telnet.sees(chunk)) {
        m_lossReported = true;
        if (const auto callback = onError)
            callback(LineError::of(LineError::Kind::wrongProtocol, m_address.hostAndPort(), 0,
                                   QStringLiteral("rfc2217")));
        return;
    }
    const auto alive = m_alive;
    if (!chunk.isEmpty()) {
        if (const auto callback = onData)
            callback(chunk);
        if (!*alive || !m_open)
            return;
    }
    if (m_socket->bytesAvailable() > 0) {
        // The rest on the next turn of the event loop, so other lines get theirs.
        if (!m_readPosted) {
            m_readPosted = true;
            QMetaObject::invokeMethod(
                m_socket.get(),
                [this, alive] {
                    if (!*alive)
                        return; // the line went while this waited
                    m_readPosted = false;
                    readSome();
                },
                Qt::QueuedConnection);
        }
        return;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        lose(LineError::peerClosed(m_entered));
}

void TcpLine::lose(const LineError& error)
{
    if (m_lossReported || !m_open)
        return;
    m_lossReported = true;
    if (const auto callback = onError)
        callback(error);
}

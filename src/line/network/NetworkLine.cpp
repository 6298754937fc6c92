#include "line/network/NetworkLine.h"

#include "line/network/GensioLink.h"
#include "line/network/NetworkMailbox.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <cerrno>

namespace {

// One wake-up hands at most this much to the line's owner, like a serial port's read.
constexpr qsizetype deliverySize = 4096;

} // namespace

NetworkLine::NetworkLine(NetworkAddress address, QString entered, SerialSettings settings)
    : m_address(std::move(address))
    , m_entered(std::move(entered))
    , m_settings(std::move(settings))
{
    m_connectTimeout.setSingleShot(true);
    QObject::connect(&m_connectTimeout, &QTimer::timeout, &m_connectTimeout, [this] {
        finishOpen(LineError::of(LineError::Kind::timedOut, m_address.hostAndPort(), 0,
                                 QString::number(connectTimeoutMs / 1000)));
    });
}

NetworkLine::~NetworkLine()
{
    *m_alive = false;
    close();
}

void NetworkLine::open(OpenDone done)
{
    if (m_mailbox) {
        done(std::nullopt);
        return;
    }
    m_mailbox = std::make_shared<NetworkMailbox>();
    if (!m_mailbox->toMain || !m_mailbox->toNetwork) {
        done(LineError::of(LineError::Kind::connectFailed, m_address.hostAndPort(), EMFILE,
                           systemErrorText(EMFILE)));
        return;
    }
    m_mailbox->settings = m_settings; // sent once the connection is up (RFC 2217)
    m_openDone = std::move(done);
    m_notifier = std::make_unique<QSocketNotifier>(m_mailbox->toMain.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { takeMail(); });
    m_connectTimeout.start(connectTimeoutMs);
    // A numeric address needs no lookup, and so no thread of Qt's.
    if (QHostAddress numeric; numeric.setAddress(m_address.host)) {
        GensioService::instance().add(m_mailbox, m_address);
        return;
    }
    m_lookup = QHostInfo::lookupHost(m_address.host, m_notifier.get(),
                                     [this](const QHostInfo& info) { looked(info); });
}

void NetworkLine::looked(const QHostInfo& info)
{
    m_lookup = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        finishOpen(LineError::of(LineError::Kind::nameUnknown, m_address.host));
        return;
    }
    NetworkAddress numeric = m_address;
    numeric.host = info.addresses().constFirst().toString();
    GensioService::instance().add(m_mailbox, std::move(numeric));
}

std::optional<LineError> NetworkLine::apply(const SerialSettings& settings)
{
    m_settings = settings;
    if (!m_mailbox)
        return std::nullopt;
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->settings = settings;
    }
    m_mailbox->wakeNetwork();
    return std::nullopt;
}

std::optional<LineError> NetworkLine::write(const QByteArray& bytes)
{
    if (!m_open)
        return LineError::of(LineError::Kind::notOpen, m_entered);
    if (bytes.isEmpty())
        return std::nullopt;
    {
        std::lock_guard lock(m_mailbox->mutex);
        // The loss is told by takeMail(), after what came before it: the bytes go nowhere.
        if (m_mailbox->lostError)
            return std::nullopt;
        // The peer takes nothing any more: the same as a serial line whose buffer is full.
        if (m_mailbox->unsent + bytes.size() > NetworkMailbox::outgoingLimit)
            return LineError::of(LineError::Kind::stalled, m_entered);
        m_mailbox->outgoing += bytes;
        m_mailbox->unsent += bytes.size();
    }
    m_mailbox->wakeNetwork();
    return std::nullopt;
}

void NetworkLine::close()
{
    m_connectTimeout.stop();
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(std::exchange(m_lookup, -1));
    m_notifier.reset();
    m_openDone = nullptr;
    m_open = false;
    if (!m_mailbox)
        return;
    // The service closes the connection by itself; nothing waits for it here.
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->closeRequested = true;
    }
    m_mailbox->wakeNetwork();
    m_mailbox.reset();
}

void NetworkLine::finishOpen(std::optional<LineError> error)
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

bool NetworkLine::isTelnetAtARawPort(const QByteArray& chunk)
{
    return m_address.kind == NetworkAddress::Kind::rawTcp && m_telnet.sees(chunk);
}

void NetworkLine::takeMail()
{
    NetworkMailbox::drain(m_mailbox->toMain.get());
    std::optional<int> opened;
    std::optional<int> lost;
    QStringList notices;
    QByteArray chunk;
    bool moreWaiting = false;
    bool noTelnet = false;
    {
        std::lock_guard lock(m_mailbox->mutex);
        opened = std::exchange(m_mailbox->openError, std::nullopt);
        noTelnet = std::exchange(m_mailbox->noComPortOption, false);
        notices = std::exchange(m_mailbox->notices, {});
        chunk = m_mailbox->incoming.first(std::min(deliverySize, m_mailbox->incoming.size()));
        m_mailbox->incoming.remove(0, chunk.size());
        moreWaiting = !m_mailbox->incoming.isEmpty();
        // Data first: what came before the loss belongs to the line.
        if (!moreWaiting)
            lost = m_mailbox->lostError;
        if (m_mailbox->readingPaused &&
            m_mailbox->incoming.size() < NetworkMailbox::incomingLimit / 2) {
            m_mailbox->readingPaused = false;
            m_mailbox->resumeReading = true;
            m_mailbox->wakeNetwork();
        }
    }
    if (moreWaiting)
        m_mailbox->wakeMain(); // the rest on the next turn of the event loop

    const auto alive = m_alive;
    if (opened) {
        finishOpen(*opened == 0 ? std::nullopt : std::optional(failure(*opened)));
        if (!*alive || !m_open)
            return;
    }
    for (const QString& notice : notices) {
        if (const auto callback = onError)
            callback(LineError::of(LineError::Kind::settingNotConfirmed, m_entered, 0, notice));
        if (!*alive || !m_open)
            return;
    }
    // Telnet's negotiation at a raw port, or no Telnet at an RFC 2217 one: the line is of
    // the wrong kind, and the user is told the other.
    if (noTelnet || isTelnetAtARawPort(chunk)) {
        m_lossReported = true;
        if (const auto callback = onError)
            callback(LineError::of(LineError::Kind::wrongProtocol, m_address.hostAndPort(), 0,
                                   noTelnet ? QStringLiteral("tcp") : QStringLiteral("rfc2217")));
        return;
    }
    if (!chunk.isEmpty()) {
        if (const auto callback = onData)
            callback(chunk);
        if (!*alive || !m_open)
            return;
    }
    if (lost && !m_lossReported) {
        m_lossReported = true;
        if (const auto callback = onError)
            callback(loss(*lost));
    }
}

LineError NetworkLine::failure(int error) const
{
    const QString where = m_address.hostAndPort();
    if (isRefusedError(error))
        return LineError::of(LineError::Kind::refused, where);
    if (isUnreachableError(error))
        return LineError::of(LineError::Kind::unreachable, where);
    return LineError::of(LineError::Kind::connectFailed, where, 0,
                         QString::fromUtf8(gensioErrorText(error)));
}

LineError NetworkLine::loss(int error) const
{
    if (isRefusedError(error) || isUnreachableError(error))
        return LineError::peerClosed(
            m_entered, QCoreApplication::translate("NetworkLine", "%1 nicht mehr erreichbar")
                           .arg(m_address.hostAndPort()));
    return LineError::peerClosed(
        m_entered, QCoreApplication::translate("NetworkLine", "Gegenstelle getrennt (%1)")
                       .arg(QString::fromUtf8(gensioErrorText(error))));
}

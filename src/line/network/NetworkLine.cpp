#include "line/network/NetworkLine.h"

#include "line/network/GensioLink.h"
#include "line/network/NetworkMailbox.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <variant>

namespace {

// One wake-up hands at most this much to the controller, like a serial port's read.
constexpr qsizetype deliverySize = 4096;
// Closing waits this long for the network thread to end; a thread still stuck in a name
// lookup is left to end by itself, with everything it touches shared.
constexpr auto threadEndWait = std::chrono::milliseconds(500);

// The first address the name stands for, as numbers; or getaddrinfo's error.
std::variant<QString, int> resolve(const QString& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found))
        return error;
    char text[INET6_ADDRSTRLEN] = {};
    const void* binary =
        found->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    ::inet_ntop(found->ai_family, binary, text, sizeof text);
    ::freeaddrinfo(found);
    return QString::fromLatin1(text);
}

// On the resolver thread: looks the name up, then hands the connection to the service,
// unless the line was closed meanwhile.
void resolveAndConnect(std::shared_ptr<NetworkMailbox> mailbox,
                       std::shared_ptr<GensioService> service, NetworkAddress address)
{
    const auto resolved = resolve(address.host);
    std::unique_lock lock(mailbox->mutex);
    if (const int* error = std::get_if<int>(&resolved); error || mailbox->closeRequested) {
        if (error)
            mailbox->resolveError = *error;
        mailbox->finished = true;
        mailbox->finishedChanged.notify_all();
        mailbox->wakeMain();
        return;
    }
    lock.unlock();
    address.host = std::get<QString>(resolved);
    service->add(std::move(mailbox), std::move(address));
}

} // namespace

NetworkLine::NetworkLine(NetworkAddress address, QString entered, SerialSettings settings)
    : m_address(std::move(address))
    , m_entered(std::move(entered))
    , m_settings(std::move(settings))
{
    m_connectTimeout.setSingleShot(true);
    QObject::connect(&m_connectTimeout, &QTimer::timeout, &m_connectTimeout, [this] {
        finishOpen(SerialPortError::connectFailed(
            m_entered, QCoreApplication::translate(
                           "NetworkLine", "Keine Antwort von %1 nach %2 s – ist das Gateway "
                                          "eingeschaltet und im Netz?")
                           .arg(m_address.hostAndPort())
                           .arg(connectTimeoutMs / 1000)));
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
    if (m_mailbox->toMain < 0 || m_mailbox->toNetwork < 0) {
        done(SerialPortError::openFailed(m_entered, EMFILE));
        return;
    }
    m_mailbox->settings = m_settings; // sent once the connection is up (RFC 2217)
    m_openDone = std::move(done);
    m_notifier = std::make_unique<QSocketNotifier>(m_mailbox->toMain, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { takeMail(); });
    m_connectTimeout.start(connectTimeoutMs);
    m_service = GensioService::acquire();
    m_resolver = std::thread(resolveAndConnect, m_mailbox, m_service, m_address);
}

std::optional<SerialPortError> NetworkLine::apply(const SerialSettings& settings)
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

std::optional<SerialPortError> NetworkLine::write(const QByteArray& bytes)
{
    if (!m_open)
        return SerialPortError::notOpen();
    if (bytes.isEmpty())
        return std::nullopt;
    {
        std::lock_guard lock(m_mailbox->mutex);
        if (m_mailbox->lostError)
            return SerialPortError::writeFailed(EPIPE);
        // The peer takes nothing any more: the same as a serial line whose buffer is full.
        if (m_mailbox->unsent + bytes.size() > NetworkMailbox::outgoingLimit)
            return SerialPortError::writeFailed(EAGAIN);
        m_mailbox->outgoing += bytes;
        m_mailbox->unsent += bytes.size();
    }
    m_mailbox->wakeNetwork();
    return std::nullopt;
}

void NetworkLine::close()
{
    m_connectTimeout.stop();
    m_notifier.reset();
    m_openDone = nullptr;
    m_open = false;
    stopThread();
}

void NetworkLine::stopThread()
{
    if (!m_mailbox)
        return;
    std::unique_lock lock(m_mailbox->mutex);
    m_mailbox->closeRequested = true;
    m_mailbox->wakeNetwork();
    // Usually the connection is closed at once; a name lookup still under way is left to
    // end by itself, with everything it touches shared.
    const bool ended = m_mailbox->finishedChanged.wait_for(lock, threadEndWait,
                                                           [this] { return m_mailbox->finished; });
    lock.unlock();
    if (m_resolver.joinable()) {
        if (ended)
            m_resolver.join();
        else
            m_resolver.detach();
    }
    m_service.reset();
}

void NetworkLine::finishOpen(std::optional<SerialPortError> error)
{
    m_connectTimeout.stop();
    auto done = std::exchange(m_openDone, nullptr);
    if (!done)
        return;
    m_open = !error;
    if (error)
        stopThread();
    done(std::move(error));
}

void NetworkLine::takeMail()
{
    NetworkMailbox::drain(m_mailbox->toMain);
    std::optional<int> opened;
    std::optional<int> unresolved;
    std::optional<int> lost;
    QStringList notices;
    QByteArray chunk;
    bool moreWaiting = false;
    {
        std::lock_guard lock(m_mailbox->mutex);
        opened = std::exchange(m_mailbox->openError, std::nullopt);
        unresolved = std::exchange(m_mailbox->resolveError, std::nullopt);
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
    if (unresolved) {
        finishOpen(nameFailure(*unresolved));
        return;
    }
    if (opened) {
        finishOpen(*opened == 0 ? std::nullopt : std::optional(failure(*opened)));
        if (!*alive || !m_open)
            return;
    }
    for (const QString& notice : notices) {
        if (const auto callback = onNotice)
            callback(notice);
        if (!*alive || !m_open)
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
        if (const auto callback = onClose)
            callback(lossReason(*lost));
    }
}

SerialPortError NetworkLine::failure(int error) const
{
    const QString where = m_address.hostAndPort();
    QString text;
    if (isRefusedError(error))
        text = QCoreApplication::translate(
                   "NetworkLine", "%1 lehnt die Verbindung ab – lauscht dort ein Gateway oder "
                                  "ser2net auf diesem Port?")
                   .arg(where);
    else if (isUnreachableError(error))
        text = QCoreApplication::translate(
                   "NetworkLine", "%1 ist nicht erreichbar (kein Weg dorthin) – Netz und Adresse "
                                  "prüfen.")
                   .arg(where);
    else
        text = QCoreApplication::translate("NetworkLine", "Verbindung zu %1 fehlgeschlagen: %2")
                   .arg(where, QString::fromUtf8(gensioErrorText(error)));
    return SerialPortError::connectFailed(m_entered, text);
}

SerialPortError NetworkLine::nameFailure(int error) const
{
    // A name the name server does not know, or a name server that cannot be reached.
    const QString text =
        error == EAI_NONAME || error == EAI_FAIL
            ? QCoreApplication::translate("NetworkLine", "Der Name „%1“ (Port %2) lässt sich nicht "
                                                         "auflösen – Adresse prüfen.")
                  .arg(m_address.host)
                  .arg(m_address.port)
            : QCoreApplication::translate("NetworkLine",
                                          "Der Name „%1“ (Port %2) lässt sich gerade nicht "
                                          "auflösen (%3) – Adresse prüfen.")
                  .arg(m_address.host)
                  .arg(m_address.port)
                  .arg(QString::fromLocal8Bit(::gai_strerror(error)));
    return SerialPortError::connectFailed(m_entered, text);
}

QString NetworkLine::lossReason(int error) const
{
    if (isRefusedError(error) || isUnreachableError(error))
        return QCoreApplication::translate("NetworkLine", "%1 nicht mehr erreichbar")
            .arg(m_address.hostAndPort());
    return QCoreApplication::translate("NetworkLine", "Gegenstelle getrennt (%1)")
        .arg(QString::fromUtf8(gensioErrorText(error)));
}

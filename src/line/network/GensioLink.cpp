// libgensio lives in this file alone: it connects to ser2net and RS-232 gateways over
// raw TCP and Telnet COM-PORT-OPTION (RFC 2217). Its event loop runs on the service's own
// thread; each line's mailbox and its eventfds are all it shares with the main thread.
#include "line/network/GensioLink.h"

#include "line/network/NetworkMailbox.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdint>
#include <functional>
#include <gensio/gensio.h>
#include <gensio/gensio_os_funcs.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/gensio_unix.h>
#include <gensio/sergensio.h>
#include <list>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A gateway that vanished without a reset (power cut, cable pulled) is noticed after
// 10 s of silence and four unanswered probes 5 s apart: about half a minute.
constexpr int keepAliveIdleSeconds = 10;
constexpr int keepAliveIntervalSeconds = 5;
constexpr int keepAliveProbes = 4;

// The port of a socket address, for IPv4 and IPv6.
int portOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

// libgensio turns keep-alive on with the system's times (two hours before the first
// probe); it does not hand out its socket, but names the local port, which identifies
// the socket among this process's descriptors.
void shortenKeepAlive(int localPort, int remotePort)
{
    const QStringList descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files);
    for (const QString& name : descriptors) {
        const int fd = name.toInt();
        sockaddr_storage local{};
        sockaddr_storage remote{};
        socklen_t localSize = sizeof local;
        socklen_t remoteSize = sizeof remote;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &remoteSize) != 0 ||
            portOf(local) != localPort || portOf(remote) != remotePort)
            continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &keepAliveIdleSeconds, sizeof(int));
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &keepAliveIntervalSeconds, sizeof(int));
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &keepAliveProbes, sizeof(int));
        return;
    }
}

// One network line's connection, on the service thread.
class Link {
public:
    Link(gensio_os_funcs* os, std::shared_ptr<NetworkMailbox> mailbox, NetworkAddress address)
        : m_mailbox(std::move(mailbox))
        , m_address(std::move(address))
        , m_os(os)
    {
    }

    // False when the line's wake-up cannot be watched; the line has been told.
    bool start()
    {
        if (m_os->add_iod(m_os, GENSIO_IOD_PIPE, m_mailbox->toNetwork.get(), &m_wake) != 0 ||
            m_os->set_fd_handlers(m_wake, this, &Link::onWake, nullptr, nullptr,
                                  &Link::onWakeCleared) != 0) {
            report([](NetworkMailbox& box) { box.openError = GE_NOMEM; });
            if (m_wake)
                m_os->release_iod(m_wake);
            m_wake = nullptr;
            m_done = true;
            return false;
        }
        m_os->set_read_handler(m_wake, true);
        connect();
        takeMail(); // a close may have been asked for already
        return true;
    }

    // Closed and unhooked: the service may drop it.
    bool isDone() const { return m_done; }

    ~Link()
    {
        if (m_wake)
            m_os->release_iod(m_wake);
    }

private:
    template <typename Change>
    void report(Change change)
    {
        {
            std::lock_guard lock(m_mailbox->mutex);
            change(*m_mailbox);
        }
        m_mailbox->wakeMain();
    }

    void connect()
    {
        const QByteArray description = m_address.gensioString();
        // Resolves the name here, on this thread: a slow name server holds up no window.
        const int error = str_to_gensio(description.constData(), m_os, &Link::onEvent, this, &m_io);
        if (error != 0) {
            m_io = nullptr;
            report([error](NetworkMailbox& box) { box.openError = error; });
            return;
        }
        if (const int opening = gensio_open(m_io, &Link::onOpened, this); opening != 0)
            onOpened(m_io, opening, this);
    }

    static void onOpened(gensio* io, int error, void* data)
    {
        auto* self = static_cast<Link*>(data);
        self->report([error](NetworkMailbox& box) { box.openError = error; });
        if (error != 0)
            return; // the close request finds nothing open
        self->m_open = true;
        char port[32] = {};
        gensiods size = sizeof port;
        if (gensio_control(io, GENSIO_CONTROL_DEPTH_FIRST, GENSIO_CONTROL_GET, GENSIO_CONTROL_LPORT,
                           port, &size) == 0)
            shortenKeepAlive(QByteArray(port).toInt(), self->m_address.port);
        gensio_set_read_callback_enable(io, true);
        self->takeMail();
    }

    static void onWake(gensio_iod*, void* data)
    {
        auto* self = static_cast<Link*>(data);
        NetworkMailbox::drain(self->m_mailbox->toNetwork.get());
        self->takeMail();
    }

    static void onWakeCleared(gensio_iod*, void* data) { static_cast<Link*>(data)->m_done = true; }

    // Closed: stop watching the wake-up; the service drops the link once that is done.
    void finish()
    {
        if (m_finishing)
            return;
        m_finishing = true;
        m_os->clear_fd_handlers(m_wake);
    }

    void takeMail()
    {
        bool close = false;
        bool resume = false;
        std::optional<SerialSettings> settings;
        {
            std::lock_guard lock(m_mailbox->mutex);
            close = m_mailbox->closeRequested;
            if (m_open || close) {
                m_unsent += std::exchange(m_mailbox->outgoing, {});
                settings = std::exchange(m_mailbox->settings, std::nullopt);
                resume = std::exchange(m_mailbox->resumeReading, false);
            }
        }
        if (close) {
            shutDown();
            return;
        }
        if (!m_open)
            return; // the mail waits for the open connection
        if (resume)
            gensio_set_read_callback_enable(m_io, true);
        if (settings)
            sendSettings(*settings);
        writeSome();
    }

    void writeSome()
    {
        if (m_unsent.isEmpty() || !m_io)
            return;
        gensiods taken = 0;
        const int error =
            gensio_write(m_io, &taken, m_unsent.constData(), gensiods(m_unsent.size()), nullptr);
        if (error != 0) {
            lose(error);
            return;
        }
        m_unsent.remove(0, qsizetype(taken));
        {
            std::lock_guard lock(m_mailbox->mutex);
            m_mailbox->unsent = m_mailbox->outgoing.size() + m_unsent.size();
        }
        gensio_set_write_callback_enable(m_io, !m_unsent.isEmpty());
    }

    static int onEvent(gensio*, void* data, int event, int error, unsigned char* buffer,
                       gensiods* size, const char* const*)
    {
        auto* self = static_cast<Link*>(data);
        switch (event) {
        case GENSIO_EVENT_READ:
            if (error != 0) {
                self->lose(error);
                return 0;
            }
            self->receive(buffer, size);
            return 0;
        case GENSIO_EVENT_WRITE_READY:
            self->writeSome();
            return 0;
        default:
            return GE_NOTSUP; // modem and line states of the far port: not needed
        }
    }

    void receive(const unsigned char* buffer, gensiods* size)
    {
        bool full = false;
        {
            std::lock_guard lock(m_mailbox->mutex);
            const qsizetype room = NetworkMailbox::incomingLimit - m_mailbox->incoming.size();
            const qsizetype taken = std::min(room, qsizetype(*size));
            m_mailbox->incoming.append(reinterpret_cast<const char*>(buffer), taken);
            full = taken < qsizetype(*size);
            m_mailbox->readingPaused = full;
            *size = gensiods(taken); // the rest is offered again once reading resumes
        }
        if (full)
            gensio_set_read_callback_enable(m_io, false);
        m_mailbox->wakeMain();
    }

    void lose(int error)
    {
        if (m_lost)
            return;
        m_lost = true;
        gensio_set_read_callback_enable(m_io, false);
        gensio_set_write_callback_enable(m_io, false);
        report([error](NetworkMailbox& box) { box.lostError = error; });
    }

    void shutDown()
    {
        if (!m_io) {
            finish();
            return;
        }
        if (m_closing)
            return;
        m_closing = true;
        if (gensio_close(m_io, &Link::onClosed, this) != 0)
            onClosed(m_io, this);
    }

    static void onClosed(gensio* io, void* data)
    {
        auto* self = static_cast<Link*>(data);
        gensio_free(io);
        self->m_io = nullptr;
        self->finish();
    }

    // The line settings for a COM port at the far end; a plain TCP port has none, its
    // gateway keeps its own.
    void sendSettings(const SerialSettings& settings)
    {
        sergensio* port = gensio_to_sergensio(m_io);
        if (!port)
            return;
        using S = SerialSettings;
        const auto parity = settings.parity == S::Parity::none  ? SERGENSIO_PARITY_NONE
                            : settings.parity == S::Parity::odd ? SERGENSIO_PARITY_ODD
                                                                : SERGENSIO_PARITY_EVEN;
        const auto flow =
            settings.flowControl == S::FlowControl::rtsCts    ? SERGENSIO_FLOWCONTROL_RTS_CTS
            : settings.flowControl == S::FlowControl::xonXoff ? SERGENSIO_FLOWCONTROL_XON_XOFF
                                                              : SERGENSIO_FLOWCONTROL_NONE;
        const bool rts = settings.assertRTS || settings.flowControl == S::FlowControl::rtsCts;
        // A peer that did not take up Telnet's COM port option (a raw TCP port, after the
        // Telnet layer waited for it in vain) refuses the first setting at once.
        if (sergensio_baud(port, unsigned(settings.baudRate), &Link::onSettingDone, tag(0)) ==
            GE_NOTSUP) {
            report([](NetworkMailbox& box) { box.noComPortOption = true; });
            return;
        }
        sergensio_datasize(port, unsigned(rawValue(settings.dataBits)), &Link::onSettingDone,
                           tag(1));
        sergensio_parity(port, parity, &Link::onSettingDone, tag(2));
        sergensio_stopbits(port, unsigned(rawValue(settings.stopBits)), &Link::onSettingDone,
                           tag(3));
        sergensio_flowcontrol(port, flow, &Link::onSettingDone, tag(4));
        sergensio_dtr(port, settings.assertDTR ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF,
                      &Link::onSettingDone, tag(5));
        sergensio_rts(port, rts ? SERGENSIO_RTS_ON : SERGENSIO_RTS_OFF, &Link::onSettingDone,
                      tag(6));
    }

    // The settings in the order sendSettings() sends them; a callback learns its own by
    // the index it carries.
    static QString settingLabel(std::uintptr_t index)
    {
        using P = SerialParameter;
        const QStringList labels{parameterName(P::baudRate),    parameterName(P::dataBits),
                                 parameterName(P::parity),      parameterName(P::stopBits),
                                 parameterName(P::flowControl), QStringLiteral("DTR"),
                                 QStringLiteral("RTS")};
        return labels.value(qsizetype(index));
    }
    static void* tag(std::uintptr_t index) { return reinterpret_cast<void*>(index); }

    // An unconfirmed setting is a warning, not a failure of the line: many gateways apply
    // it and never say so.
    static void onSettingDone(sergensio* port, int error, unsigned int, void* data)
    {
        if (error == 0)
            return;
        auto* self = static_cast<Link*>(gensio_get_user_data(sergensio_to_gensio(port)));
        const QString what = settingLabel(reinterpret_cast<std::uintptr_t>(data));
        self->report([&](NetworkMailbox& box) {
            box.notices.append(QCoreApplication::translate("GensioLink",
                                                           "Das Gateway hat die Einstellung "
                                                           "„%1“ nicht bestätigt (%2).")
                                   .arg(what, QString::fromUtf8(gensio_err_to_str(error))));
        });
    }

    std::shared_ptr<NetworkMailbox> m_mailbox;
    NetworkAddress m_address;
    gensio_os_funcs* m_os = nullptr;
    gensio_iod* m_wake = nullptr;
    gensio* m_io = nullptr;
    QByteArray m_unsent;
    bool m_open = false;
    bool m_lost = false;
    bool m_closing = false;
    bool m_finishing = false;
    bool m_done = false;
};

// The OS functions of libgensio, kept for the life of the process: the library holds on to
// the first set it was given (a second set after freeing the first crashes it).
gensio_os_funcs* processOsFuncs()
{
    static gensio_os_funcs* const funcs = [] {
        gensio_os_funcs* allocated = nullptr;
        // No wake-up signal: only the service thread ever calls into the library.
        return gensio_default_os_hnd(0, &allocated) == 0 ? allocated : nullptr;
    }();
    return funcs;
}

} // namespace

GensioService& GensioService::instance()
{
    // Started with the first network line and kept for the process: ending it would mean
    // waiting for its connections to close, and no line should wait for that.
    static GensioService service;
    return service;
}

GensioService::GensioService()
    : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_thread = std::thread([this] { run(); });
}

GensioService::~GensioService()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    NetworkMailbox::signal(m_wake.get());
    if (m_thread.joinable())
        m_thread.join();
}

void GensioService::add(std::shared_ptr<NetworkMailbox> mailbox, NetworkAddress address)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests.append({std::move(mailbox), std::move(address)});
    }
    NetworkMailbox::signal(m_wake.get());
}

void GensioService::run()
{
    // A peer that closed its end makes a write raise SIGPIPE in the writing thread, which
    // would end the program; blocked here, the write fails with EPIPE and the line is lost.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    gensio_os_funcs* os = processOsFuncs();
    std::list<std::unique_ptr<Link>> links;
    bool stopRequested = false;
    std::function<void()> takeRequests = [&] {
        NetworkMailbox::drain(m_wake.get());
        QList<Request> requests;
        {
            std::lock_guard lock(m_mutex);
            requests = std::exchange(m_requests, {});
            stopRequested = m_stopRequested;
        }
        for (Request& request : requests) {
            if (!os) {
                // Without the library no line can connect; each one is told so.
                std::lock_guard lock(request.mailbox->mutex);
                request.mailbox->openError = GE_NOMEM;
                request.mailbox->wakeMain();
                continue;
            }
            auto link =
                std::make_unique<Link>(os, std::move(request.mailbox), std::move(request.address));
            link->start();
            links.push_back(std::move(link));
        }
    };
    const auto finished = [&] {
        links.remove_if([](const std::unique_ptr<Link>& link) { return link->isDone(); });
        return stopRequested && links.empty();
    };

    gensio_iod* wake = nullptr;
    const bool watched =
        os && os->add_iod(os, GENSIO_IOD_PIPE, m_wake.get(), &wake) == 0 &&
        os->set_fd_handlers(
            wake, &takeRequests,
            [](gensio_iod*, void* data) { (*static_cast<std::function<void()>*>(data))(); },
            nullptr, nullptr, nullptr) == 0;
    if (!watched) {
        if (wake)
            os->release_iod(wake);
        os = nullptr;
        while (!finished()) {
            NetworkMailbox::waitReadable(m_wake.get());
            takeRequests();
        }
        return;
    }
    os->set_read_handler(wake, true);
    while (!finished())
        os->service(os, nullptr);
    os->clear_fd_handlers_norpt(wake);
    os->release_iod(wake);
}

const char* gensioErrorText(int error)
{
    return gensio_err_to_str(error);
}

bool isUnreachableError(int error)
{
    return error == GE_HOSTDOWN;
}

bool isRefusedError(int error)
{
    return error == GE_CONNREFUSE;
}

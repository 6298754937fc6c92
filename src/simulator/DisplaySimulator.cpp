#include "simulator/DisplaySimulator.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What one read of the master takes at most.
constexpr std::size_t readBufferSize = 4096;
// How often the simulator looks for a client that ended without giving up its exclusive
// use of the line (killed, say): a second is soon enough for the next client.
constexpr int staleClientCheckMs = 1000;
// What waits for a client that does not read: a bridge plug holds a few packets, and a
// client that reads nothing at all must not grow the simulator without bound.
constexpr qsizetype unsentLimit = 4 * 1024 * 1024;

} // namespace

DisplaySimulator::DisplaySimulator(DisplaySeries series, bool loopback)
    : m_series(series)
    , m_loopback(loopback)
    , m_display(series)
{
    m_staleCheck.setInterval(staleClientCheckMs);
    QObject::connect(&m_staleCheck, &QTimer::timeout, &m_staleCheck,
                     [this] { releaseStaleExclusiveUse(); });
}

DisplaySimulator::~DisplaySimulator()
{
    stop();
}

std::optional<int> DisplaySimulator::start()
{
    if (m_master)
        return std::nullopt;
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return errno;
    UniqueFd ownedMaster(master);
    UniqueFd ownedSlave(slave);

    // The other end of the line is raw; nothing here may translate or echo.
    termios attributes{};
    if (tcgetattr(slave, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(slave, TCSANOW, &attributes);
    }
    char name[128];
    if (const int error = ptsname_r(master, name, sizeof name); error != 0)
        return error;
    // Neither side must leak into programs started later.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    m_master = std::move(ownedMaster);
    m_slaveKeepAlive = std::move(ownedSlave);
    m_devicePath = QString::fromLocal8Bit(name);
    m_reader = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, m_reader.get(),
                     [this] { readMaster(); });
    m_writer = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Write);
    m_writer->setEnabled(false);
    QObject::connect(m_writer.get(), &QSocketNotifier::activated, m_writer.get(),
                     [this] { writeOut(); });
    m_staleCheck.start();
    return std::nullopt;
}

void DisplaySimulator::stop()
{
    m_staleCheck.stop();
    m_reader.reset();
    m_writer.reset();
    m_unsent.clear();
    m_master.reset();
    m_slaveKeepAlive.reset();
}

void DisplaySimulator::readMaster()
{
    char buffer[readBufferSize];
    const ssize_t count = ::read(m_master.get(), buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (count <= 0) {
        // Cannot happen while the slave is held open. Should it all the same, the notifier
        // would report the condition for ever, so the simulator falls silent.
        m_reader->setEnabled(false);
        return;
    }
    const QByteArray bytes(buffer, count);
    if (m_loopback) {
        answer(bytes);
        return;
    }
    for (const QByteArray& reply : m_display.receive(bytes))
        answer(reply);
}

void DisplaySimulator::answer(const QByteArray& bytes)
{
    // A client that reads nothing gets nothing more; a display's buffer is not endless.
    if (m_unsent.size() + bytes.size() > unsentLimit)
        return;
    m_unsent += bytes;
    writeOut();
}

void DisplaySimulator::writeOut()
{
    while (!m_unsent.isEmpty()) {
        const ssize_t written =
            ::write(m_master.get(), m_unsent.constData(), std::size_t(m_unsent.size()));
        if (written > 0) {
            m_unsent.remove(0, written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            m_writer->setEnabled(true); // the rest once the client has read
            return;
        }
        m_unsent.clear();
        break;
    }
    m_writer->setEnabled(false);
}

void DisplaySimulator::releaseStaleExclusiveUse()
{
    // A client takes the line with TIOCEXCL and an exclusive flock, and gives both up when
    // it closes. One that was killed gives up only the lock (the kernel drops it with the
    // descriptor); the flag stays on the terminal, which lives on through this simulator's
    // own descriptor, and would keep every later client out.
    const int slave = m_slaveKeepAlive.get();
    int exclusive = 0;
    if (::ioctl(slave, TIOCGEXCL, &exclusive) != 0 || exclusive == 0)
        return;
    if (::flock(slave, LOCK_EX | LOCK_NB) != 0)
        return; // a client is there and holds the line
    [[maybe_unused]] const int shared = ::ioctl(slave, TIOCNXCL);
    ::flock(slave, LOCK_UN);
}

#include "simulator/DisplaySimulator.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What one read of the master takes at most.
constexpr std::size_t readBufferSize = 512;
// How often the simulator looks for a client that ended without giving up its exclusive
// use of the line (killed, say): a second is soon enough for the next client.
constexpr int staleClientCheckMs = 1000;

} // namespace

DisplaySimulator::DisplaySimulator(DisplaySeries series, bool loopback)
    : m_series(series)
    , m_loopback(loopback)
    , m_display(series)
{
}

DisplaySimulator::~DisplaySimulator()
{
    stop();
}

std::optional<SerialPortError> DisplaySimulator::start()
{
    if (m_master >= 0)
        return std::nullopt;
    const QString deviceText = QCoreApplication::translate("DisplaySimulator", "Pseudo-Terminal");

    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return SerialPortError::openFailed(deviceText, errno);
    m_master = master;
    m_slaveKeepAlive = slave;

    // The other end of the line is raw; nothing here may translate or echo.
    termios attributes{};
    if (tcgetattr(slave, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(slave, TCSANOW, &attributes);
    }

    char name[128];
    if (const int error = ptsname_r(master, name, sizeof name); error != 0) {
        closeDescriptors();
        return SerialPortError::openFailed(deviceText, error);
    }
    // Neither side must leak into programs started later.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (const auto error = m_reader.start(
            master, [this](short) { return readMaster(); }, [this] { releaseStaleExclusiveUse(); },
            staleClientCheckMs)) {
        closeDescriptors();
        return SerialPortError::openFailed(deviceText, *error);
    }
    m_devicePath = QString::fromLocal8Bit(name);
    return std::nullopt;
}

void DisplaySimulator::stop()
{
    m_reader.stop();
    closeDescriptors();
}

void DisplaySimulator::closeDescriptors()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeepAlive >= 0)
        ::close(m_slaveKeepAlive);
    m_master = -1;
    m_slaveKeepAlive = -1;
}

// On the reader thread.
bool DisplaySimulator::readMaster()
{
    char buffer[readBufferSize];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (count <= 0) {
        // Cannot happen while the slave is held open. Should it all the same, poll
        // would report the condition for ever, so the simulator falls silent.
        return false;
    }
    const QByteArray bytes(buffer, count);
    if (m_loopback) {
        answer(bytes);
        return true;
    }
    for (const QByteArray& reply : m_display.receive(bytes))
        answer(reply);
    return true;
}

void DisplaySimulator::answer(const QByteArray& bytes)
{
    // Everything goes out, waiting while the client has not read the line empty: a bridge
    // plug loses no byte. A stop ends the wait.
    for (qsizetype offset = 0; offset < bytes.size();) {
        const ssize_t written = ::write(m_master, bytes.constData() + offset,
                                        static_cast<std::size_t>(bytes.size() - offset));
        if (written > 0) {
            offset += written;
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            if (!m_reader.waitWritable(m_master))
                return;
        } else {
            return;
        }
    }
}

void DisplaySimulator::releaseStaleExclusiveUse()
{
    // A client takes the line with TIOCEXCL and an exclusive flock, and gives both up when
    // it closes. One that was killed gives up only the lock (the kernel drops it with the
    // descriptor); the flag stays on the terminal, which lives on through this simulator's
    // own descriptor, and would keep every later client out.
    int exclusive = 0;
    if (::ioctl(m_slaveKeepAlive, TIOCGEXCL, &exclusive) != 0 || exclusive == 0)
        return;
    if (::flock(m_slaveKeepAlive, LOCK_EX | LOCK_NB) != 0)
        return; // a client is there and holds the line
    [[maybe_unused]] const int shared = ::ioctl(m_slaveKeepAlive, TIOCNXCL);
    ::flock(m_slaveKeepAlive, LOCK_UN);
}

#include "simulator/DisplaySimulator.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What one read of the master takes at most.
constexpr std::size_t readBufferSize = 512;

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
    const QString deviceText = QStringLiteral("Pseudo-Terminal");

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

    if (const auto error = m_reader.start(master, [this](short) { return readMaster(); })) {
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
    // A full or short write is the display's loss, as on a real line.
    [[maybe_unused]] const ssize_t written =
        ::write(m_master, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

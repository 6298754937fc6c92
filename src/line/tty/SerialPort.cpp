#include "line/tty/SerialPort.h"

#include "line/PathBytes.h"
#include "line/tty/LineAttributes.h"
#include "line/tty/TermiosSpeed.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using namespace std::chrono_literals;

// One wake-up reads at most this much and delivers it at once. What is left waits in the
// kernel's buffer for the next turn of the event loop, so timers, the window and the
// other lines get their turn even while a peer floods the line, and the peer is held
// back once that buffer is full. A pseudo-terminal hands over at most 4 KiB per read.
constexpr std::size_t readChunkSize = 4096;

// A full output buffer is retried this often per write() call, with this pause in
// between: 0.4 s in all, short enough for the main thread, long enough for a slow
// line to take the next bytes.
constexpr int writeRetryBudget = 200;
constexpr auto writeRetryPause = 2ms;

// A line held by flow control never drains, and the kernel's own close would then wait
// up to 30 s. Closing waits this long for the output queue to empty and then discards
// the rest, so that disconnecting never freezes the window.
constexpr auto drainBound = 500ms;
constexpr auto drainPollInterval = 5ms;

QString remoteGoneReason()
{
    return QCoreApplication::translate("SerialPort", "Gegenstelle getrennt");
}

void setModemLine(int fd, int line, bool asserted)
{
    // Pseudo-terminals and some adapters have no modem lines; they still work.
    [[maybe_unused]] const int result = ioctl(fd, asserted ? TIOCMBIS : TIOCMBIC, &line);
}

std::optional<SerialPortError> configureLine(int fd, const SerialSettings& settings)
{
    termios attributes{};
    if (tcgetattr(fd, &attributes) != 0)
        return SerialPortError::configureFailed(QStringLiteral("tcgetattr"));
    applyLineSettings(attributes, settings);
    if (tcsetattr(fd, TCSANOW, &attributes) != 0)
        return SerialPortError::configureFailed(QStringLiteral("tcsetattr (") +
                                                systemErrorText(errno) + u')');
    // Also for the termios steps: a driver that rounds them keeps the exact rate.
    setExactBaudRate(fd, settings.baudRate);
    const ModemLines lines = modemLines(settings);
    setModemLine(fd, TIOCM_DTR, lines.dtr);
    setModemLine(fd, TIOCM_RTS, lines.rts);
    [[maybe_unused]] const int flushed = tcflush(fd, TCIOFLUSH);
    return std::nullopt;
}

// Waits, within drainBound, until the driver has sent everything. Output still queued
// after that (or a driver that cannot tell) is discarded. A drained queue is not
// flushed: on a pseudo-terminal that would also discard what the other side has not
// read yet.
void drainOutput(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + drainBound;
    for (;;) {
        int pending = 0;
        if (ioctl(fd, TIOCOUTQ, &pending) != 0)
            break;
        if (pending <= 0)
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(drainPollInterval);
    }
    [[maybe_unused]] const int flushed = tcflush(fd, TCOFLUSH);
}

// The far end has hung up (a pseudo-terminal's master closed, an adapter pulled).
bool isHungUp(int fd)
{
    pollfd state{fd, POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

} // namespace

SerialPort::SerialPort(QString path, SerialSettings settings)
    : m_path(std::move(path))
    , m_settings(std::move(settings))
{
}

SerialPort::~SerialPort()
{
    close();
}

std::optional<SerialPortError> SerialPort::open()
{
    if (m_fd >= 0)
        return std::nullopt;

    const QByteArray nativePath = encodePath(m_path);
    const int fd = ::open(nativePath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return SerialPortError::openFailed(m_path, errno);

    // TIOCEXCL keeps other users out but not root, and some drivers ignore it; the
    // lock keeps out every opener that asks for it, as serial terminals do.
    [[maybe_unused]] const int exclusive = ioctl(fd, TIOCEXCL);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return SerialPortError::openFailed(m_path, error == EWOULDBLOCK ? EBUSY : error);
    }

    m_fd = fd;
    if (auto error = configureLine(fd, m_settings)) {
        releaseDescriptor();
        return error;
    }

    m_reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, m_reader.get(),
                     [this] { readAvailable(); });
    return std::nullopt;
}

void SerialPort::open(OpenDone done)
{
    done(open());
}

std::optional<SerialPortError> SerialPort::apply(const SerialSettings& settings)
{
    m_settings = settings;
    if (m_fd < 0)
        return std::nullopt;
    return configureLine(m_fd, m_settings);
}

std::optional<SerialPortError> SerialPort::write(const QByteArray& bytes)
{
    if (m_fd < 0)
        return SerialPortError::notOpen();
    qsizetype offset = 0;
    int retries = 0;
    while (offset < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.constData() + offset,
                                        static_cast<std::size_t>(bytes.size() - offset));
        if (written > 0) {
            offset += written;
            continue;
        }
        // A write of nothing leaves errno as it was; a device that takes no bytes at
        // all is as good as gone.
        const int error = written == 0 ? EIO : errno;
        if (written < 0 && (error == EAGAIN || error == EINTR) && retries < writeRetryBudget) {
            ++retries;
            std::this_thread::sleep_for(writeRetryPause);
            continue;
        }
        return SerialPortError::writeFailed(error);
    }
    return std::nullopt;
}

void SerialPort::close()
{
    if (m_fd >= 0)
        releaseDescriptor();
}

void SerialPort::releaseDescriptor()
{
    m_reader.reset();
    drainOutput(m_fd);
    // Exclusive use belongs to the terminal, not to the descriptor: a pseudo-terminal
    // whose other end stays open (the simulator) would refuse the next opener.
    [[maybe_unused]] const int shared = ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

void SerialPort::readAvailable()
{
    char buffer[readChunkSize];
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count > 0) {
        // A copy, because the callback may destroy this port (and with it onData);
        // nothing here touches the port after the call.
        if (const auto callback = onData)
            callback(QByteArray(buffer, count));
        return;
    }

    const int error = count < 0 ? errno : 0;
    const bool transient = count < 0 && (error == EAGAIN || error == EINTR);
    if (transient && !isHungUp(m_fd))
        return;
    // End of file, a hang-up with nothing left to read, or the EIO a pseudo-terminal
    // answers while its master closes: the user reads the same reason for all of them.
    const bool remoteGone = count == 0 || transient || (error == EIO && isHungUp(m_fd));
    const QString reason = remoteGone ? remoteGoneReason() : systemErrorText(error);
    // Reading ends here; the descriptor stays open until close().
    m_reader->setEnabled(false);
    if (const auto callback = onClose)
        callback(reason);
}

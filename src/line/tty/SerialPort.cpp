#include "line/tty/SerialPort.h"

#include "line/PathBytes.h"
#include "line/tty/LineAttributes.h"
#include "line/tty/TermiosSpeed.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// One wake-up reads at most this much and delivers it at once. What is left waits in the
// kernel's buffer for the next turn of the event loop, so timers, the window and the
// other lines get their turn even while a peer floods the line, and the peer is held
// back once that buffer is full. A pseudo-terminal hands over at most 4 KiB per read.
constexpr std::size_t readChunkSize = 4096;

// A line held by flow control never drains, and the kernel's own close would then wait
// up to 30 s. A closed port's last bytes get this long to go out, in the background.
constexpr int drainBoundMs = 500;

void setModemLine(int fd, int line, bool asserted)
{
    // Pseudo-terminals and some adapters have no modem lines; they still work.
    [[maybe_unused]] const int result = ioctl(fd, asserted ? TIOCMBIS : TIOCMBIC, &line);
}

std::optional<LineError> configureLine(int fd, const QString& path, const SerialSettings& settings)
{
    termios attributes{};
    // A file, a FIFO, /dev/null: opened, but no terminal (ENOTTY).
    if (tcgetattr(fd, &attributes) != 0)
        return LineError::openFailed(path, errno);
    applyLineSettings(attributes, settings);
    if (tcsetattr(fd, TCSANOW, &attributes) != 0)
        return LineError::of(LineError::Kind::configureFailed, path, errno);
    // Also for the termios steps: a driver that rounds them keeps the exact rate.
    setExactBaudRate(fd, settings.baudRate);
    const ModemLines lines = modemLines(settings);
    setModemLine(fd, TIOCM_DTR, lines.dtr);
    setModemLine(fd, TIOCM_RTS, lines.rts);
    [[maybe_unused]] const int flushed = tcflush(fd, TCIOFLUSH);
    return std::nullopt;
}

// The far end has hung up (a pseudo-terminal's master closed, an adapter pulled).
bool isHungUp(int fd)
{
    pollfd state{fd, POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

// Gives exclusive use back and closes. Exclusive use belongs to the terminal, not to the
// descriptor: a pseudo-terminal whose other end stays open (the simulator) would refuse the
// next opener.
void release(UniqueFd fd)
{
    [[maybe_unused]] const int shared = ioctl(fd.get(), TIOCNXCL);
}

// A closed port's descriptor with bytes still to go out: writes them as the device takes
// them, then lets the driver's queue empty, for a short while at most, and closes. Never
// waits on the thread it lives on.
class Drainer final : public QObject {
public:
    Drainer(UniqueFd fd, QByteArray pending)
        : QObject(QCoreApplication::instance())
        , m_fd(std::move(fd))
        , m_pending(std::move(pending))
        , m_writer(m_fd.get(), QSocketNotifier::Write)
    {
        QObject::connect(&m_writer, &QSocketNotifier::activated, this, [this] { write(); });
        m_writer.setEnabled(!m_pending.isEmpty());
        m_queueCheck.setInterval(queueCheckMs);
        QObject::connect(&m_queueCheck, &QTimer::timeout, this, [this] { checkQueue(); });
        if (m_pending.isEmpty())
            m_queueCheck.start();
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, this, [this] { finish(); });
        m_deadline.start(drainBoundMs);
    }

private:
    // How often the driver's queue is looked at once ours is out.
    static constexpr int queueCheckMs = 5;

    void write()
    {
        while (!m_pending.isEmpty()) {
            const ssize_t written =
                ::write(m_fd.get(), m_pending.constData(), std::size_t(m_pending.size()));
            if (written <= 0) {
                if (written < 0 && (errno == EAGAIN || errno == EINTR))
                    return;
                finish(); // the device is gone: nothing more will go out
                return;
            }
            m_pending.remove(0, written);
        }
        m_writer.setEnabled(false);
        m_queueCheck.start();
    }

    void checkQueue()
    {
        int queued = 0;
        if (ioctl(m_fd.get(), TIOCOUTQ, &queued) != 0 || queued <= 0)
            finish();
    }

    void finish()
    {
        m_writer.setEnabled(false);
        m_queueCheck.stop();
        m_deadline.stop();
        // What is still queued is dropped: closing a tty with output held back by flow
        // control would otherwise wait in the kernel.
        [[maybe_unused]] const int flushed = tcflush(m_fd.get(), TCOFLUSH);
        release(std::move(m_fd));
        deleteLater();
    }

    UniqueFd m_fd;
    QByteArray m_pending;
    QSocketNotifier m_writer;
    QTimer m_queueCheck;
    QTimer m_deadline;
};

} // namespace

SerialPort::SerialPort(QString path, SerialSettings settings)
    : m_path(std::move(path))
    , m_settings(std::move(settings))
{
    m_stall.setSingleShot(true);
    QObject::connect(&m_stall, &QTimer::timeout, &m_stall,
                     [this] { report(LineError::of(LineError::Kind::stalled, m_path)); });
}

SerialPort::~SerialPort()
{
    close();
}

std::optional<LineError> SerialPort::open()
{
    if (m_fd)
        return std::nullopt;

    const QByteArray nativePath = encodePath(m_path);
    UniqueFd fd(::open(nativePath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return LineError::openFailed(m_path, errno);

    // TIOCEXCL keeps other users out but not root, and some drivers ignore it; the
    // lock keeps out every opener that asks for it, as serial terminals do.
    [[maybe_unused]] const int exclusive = ioctl(fd.get(), TIOCEXCL);
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return LineError::openFailed(m_path, errno);
    if (auto error = configureLine(fd.get(), m_path, m_settings)) {
        release(std::move(fd));
        return error;
    }

    m_fd = std::move(fd);
    m_reader = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Read);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, m_reader.get(),
                     [this] { readAvailable(); });
    m_writer = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Write);
    m_writer->setEnabled(false);
    QObject::connect(m_writer.get(), &QSocketNotifier::activated, m_writer.get(), [this] {
        if (const auto error = flush())
            report(*error);
    });
    return std::nullopt;
}

void SerialPort::open(OpenDone done)
{
    done(open());
}

std::optional<LineError> SerialPort::apply(const SerialSettings& settings)
{
    m_settings = settings;
    if (!m_fd)
        return std::nullopt;
    return configureLine(m_fd.get(), m_path, m_settings);
}

std::optional<LineError> SerialPort::write(const QByteArray& bytes)
{
    if (!m_fd)
        return LineError::of(LineError::Kind::notOpen, m_path);
    if (m_pending.size() + bytes.size() > pendingLimit)
        return LineError::of(LineError::Kind::stalled, m_path);
    m_pending += bytes;
    return flush();
}

std::optional<LineError> SerialPort::flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t written =
            ::write(m_fd.get(), m_pending.constData(), std::size_t(m_pending.size()));
        if (written > 0) {
            m_pending.remove(0, written);
            m_stall.stop();
            continue;
        }
        const int error = written == 0 ? EIO : errno;
        if (written < 0 && error == EINTR)
            continue;
        if (written < 0 && error == EAGAIN) {
            // Later, when the device takes more; a device that takes nothing for long stalls.
            m_writer->setEnabled(true);
            if (!m_stall.isActive())
                m_stall.start(stallMs);
            return std::nullopt;
        }
        // A write of nothing leaves errno as it was; a device that takes no bytes at all
        // is as good as gone. Bytes of a refused write are not sent later.
        m_pending.clear();
        m_writer->setEnabled(false);
        m_stall.stop();
        return LineError::ioFailed(m_path, error);
    }
    m_writer->setEnabled(false);
    m_stall.stop();
    return std::nullopt;
}

void SerialPort::report(const LineError& error)
{
    if (error.gone()) {
        m_reader->setEnabled(false);
        m_writer->setEnabled(false);
        m_stall.stop();
    }
    if (const auto callback = onError)
        callback(error);
}

void SerialPort::close()
{
    if (!m_fd)
        return;
    m_reader.reset();
    m_writer.reset();
    m_stall.stop();
    int queued = 0;
    const bool waiting =
        !m_pending.isEmpty() || (ioctl(m_fd.get(), TIOCOUTQ, &queued) == 0 && queued > 0);
    if (waiting)
        new Drainer(std::move(m_fd), std::exchange(m_pending, {})); // deletes itself
    else
        release(std::move(m_fd));
}

void SerialPort::readAvailable()
{
    char buffer[readChunkSize];
    const ssize_t count = ::read(m_fd.get(), buffer, sizeof buffer);
    if (count > 0) {
        // A copy, because the callback may destroy this port (and with it onData);
        // nothing here touches the port after the call.
        if (const auto callback = onData)
            callback(QByteArray(buffer, count));
        return;
    }

    const int error = count < 0 ? errno : 0;
    const bool transient = count < 0 && (error == EAGAIN || error == EINTR);
    if (transient && !isHungUp(m_fd.get()))
        return;
    // End of file, a hang-up with nothing left to read, or the EIO a pseudo-terminal
    // answers while its master closes: the user reads the same reason for all of them.
    const bool remoteGone = count == 0 || transient || (error == EIO && isHungUp(m_fd.get()));
    report(remoteGone ? LineError::peerClosed(m_path)
                      : LineError::of(LineError::Kind::peerClosed, m_path, error));
}

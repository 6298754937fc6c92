#include "Pty.h"

#include "Support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        return;
    termios attributes{};
    tcgetattr(m_slave, &attributes);
    cfmakeraw(&attributes);
    tcsetattr(m_slave, TCSANOW, &attributes);
    m_slavePath = QString::fromLocal8Bit(ttyname(m_slave));
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool Pty::writeAll(QByteArray bytes) const
{
    const QDeadlineTimer deadline(waitMs);
    while (!bytes.isEmpty() && !deadline.hasExpired()) {
        const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
        if (n > 0)
            bytes.remove(0, n);
        if (bytes.isEmpty())
            break;
        pollfd p{m_master, POLLOUT, 0};
        poll(&p, 1, 50);
        // A reader on this thread's event loop must get its turn to make room.
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            QCoreApplication::processEvents();
    }
    return bytes.isEmpty();
}

QByteArray Pty::readAvailable() const
{
    QByteArray all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

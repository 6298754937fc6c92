#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal for tests: the port under test opens slavePath(), the test plays
// the device on the master side (non-blocking).
class PtyPair {
public:
    PtyPair()
    {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) == 0)
            m_slavePath = QString::fromLocal8Bit(name);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        closeMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    const QString& slavePath() const { return m_slavePath; }
    int master() const { return m_master; }
    // The test's own descriptor of the slave, for reading the line's attributes.
    int slave() const { return m_slave; }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Writes everything, waiting while the line is full. False if it stays full
    // for the whole timeout.
    bool writeAll(const QByteArray& bytes, int timeoutMs = 10000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        qsizetype offset = 0;
        while (offset < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + offset,
                                      static_cast<size_t>(bytes.size() - offset));
            if (n > 0) {
                offset += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (deadline.hasExpired())
                return false;
            pollfd p{m_master, POLLOUT, 0};
            poll(&p, 1, 50);
        }
        return true;
    }

    // Everything the master can read now, without waiting.
    QByteArray readAvailable() const
    {
        QByteArray all;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                return all;
            all.append(buffer, n);
        }
    }

    // Reads until `count` bytes have arrived or the timeout has passed.
    QByteArray read(qsizetype count, int timeoutMs = 10000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        QByteArray all;
        while (all.size() < count && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            poll(&p, 1, 50);
            all += readAvailable();
        }
        return all;
    }

    // Reads until the bytes end with `suffix` or the timeout has passed.
    QByteArray readUntil(const QByteArray& suffix, int timeoutMs = 10000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        QByteArray all;
        while (!all.endsWith(suffix) && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            poll(&p, 1, 50);
            all += readAvailable();
        }
        return all;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

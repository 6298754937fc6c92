#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A pseudo-terminal for tests: the port under test opens slavePath(), the test plays
// the device on the master side (non-blocking). The test keeps its own slave
// descriptor, for reading the line's attributes and so the pair outlives the port.
class PtyPair {
public:
    PtyPair()
    {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(ttyname(m_slave));
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
    int slave() const { return m_slave; }

    // The device goes away: the port reads end of file or fails with EIO.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Writes everything, waiting while the line is full; false after 10 s stuck.
    bool writeAll(QByteArray bytes) const
    {
        const QDeadlineTimer deadline(10000);
        while (!bytes.isEmpty() && !deadline.hasExpired()) {
            const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
            if (n > 0)
                bytes.remove(0, n);
            pollfd p{m_master, POLLOUT, 0};
            poll(&p, 1, 50);
        }
        return bytes.isEmpty();
    }

    // Everything the master can read now, without waiting.
    QByteArray readAvailable() const
    {
        QByteArray all;
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
            all.append(buffer, n);
        return all;
    }

    // Reads until `done(bytes so far)` holds or 10 s have passed.
    template <typename Done>
    QByteArray readUntil(Done done) const
    {
        const QDeadlineTimer deadline(10000);
        QByteArray all;
        while (!done(all) && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            poll(&p, 1, 50);
            all += readAvailable();
        }
        return all;
    }
    QByteArray read(qsizetype count) const
    {
        return readUntil([count](const QByteArray& b) { return b.size() >= count; });
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair for tests: the controller opens the slave path like an
// adapter, the test plays the display on the master side.
class Pty {
public:
    Pty()
    {
        int slave = -1;
        if (openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        termios attributes{};
        tcgetattr(slave, &attributes);
        cfmakeraw(&attributes);
        tcsetattr(slave, TCSANOW, &attributes);
        m_slavePath = QString::fromLocal8Bit(ttyname(slave));
        // Kept open so the pair survives while no port is open on the slave.
        m_slaveKeepAlive = slave;
    }
    ~Pty() { closeAll(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QString& slavePath() const { return m_slavePath; }

    // The far end goes away, as a pulled adapter does.
    void closeAll()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slaveKeepAlive >= 0)
            ::close(m_slaveKeepAlive);
        m_master = m_slaveKeepAlive = -1;
    }

private:
    int m_master = -1;
    int m_slaveKeepAlive = -1;
    QString m_slavePath;
};

#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair: the code under test opens slavePath() like an adapter, the test
// plays the device on the (non-blocking) master and keeps a slave descriptor of its own.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    const QString& slavePath() const { return m_slavePath; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }

    // The device goes away: the port reads end of file or fails with EIO.
    void closeMaster();

    // Writes everything, waiting while the line is full (and letting the event loop of the
    // main thread run meanwhile, where the reader may live); false after 10 s stuck.
    bool writeAll(QByteArray bytes) const;
    // Everything the master can read now, without waiting.
    QByteArray readAvailable() const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

#pragma once

#include <QString>
#include <QTemporaryDir>
#include <sys/types.h>

// A real ser2net serving one serial device on two ports of 127.0.0.1: raw TCP and Telnet
// COM-PORT-OPTION (RFC 2217). It can be killed and started again on the same ports.
class Ser2net {
public:
    explicit Ser2net(const QString& device);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts it and waits until both ports take connections; false after 10 s.
    bool start();
    // As a crash or a power cut: no goodbye to anyone connected.
    void kill();

    QString rawAddress() const;
    QString rfc2217Address() const;

    // A port of 127.0.0.1 that nothing listens on right now.
    static quint16 freePort();

private:
    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    quint16 m_rawPort = 0;
    quint16 m_rfc2217Port = 0;
};

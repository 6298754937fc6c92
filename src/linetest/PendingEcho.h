#pragma once

#include <QByteArray>
#include <chrono>

// One loopback packet on its way: what was sent, when, and what has come back so far.
struct PendingEcho {
    qint64 sequence = 0;
    QByteArray packet;
    std::chrono::steady_clock::time_point sentAt;
    QByteArray received;

    bool isComplete() const { return received.size() >= packet.size(); }

    // How long the echo of `size` bytes may take at `baudRate`: three times its line
    // time plus 0.2 s, never less than 0.3 s.
    static double waitSeconds(qsizetype size, qint64 baudRate);
};

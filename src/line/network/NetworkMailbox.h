#pragma once

#include "line/SerialSettings.h"
#include "line/UniqueFd.h"

#include <QByteArray>
#include <QStringList>
#include <mutex>
#include <optional>

// What the main thread and a network line's own thread hand each other, under one
// mutex. Each side wakes the other through an eventfd; the lock is held only to move
// data in or out, never across a wait. Shared by both, so that a thread still ending
// after its line is gone finds everything it touches alive.
struct NetworkMailbox {
    // Bytes kept for the main thread at most; beyond, the network thread stops reading
    // and the peer is held back by TCP, as a serial line's buffer holds back a device.
    static constexpr qsizetype incomingLimit = 64 * 1024;
    // Bytes the main thread may hand over before the peer took them: a peer that does
    // not read shows as a full line, not as growing memory.
    static constexpr qsizetype outgoingLimit = 64 * 1024;

    NetworkMailbox();
    ~NetworkMailbox();
    NetworkMailbox(const NetworkMailbox&) = delete;
    NetworkMailbox& operator=(const NetworkMailbox&) = delete;

    void wakeNetwork() const;
    void wakeMain() const;
    // Empties the wake-up counter of the side that was woken.
    static void drain(int eventFd);
    static void signal(int eventFd);
    // Blocks until the eventfd has a wake-up.
    static void waitReadable(int eventFd);

    std::mutex mutex;

    // To the network thread
    QByteArray outgoing;
    std::optional<SerialSettings> settings;
    bool resumeReading = false;
    bool closeRequested = false;

    // To the main thread
    QByteArray incoming;
    bool readingPaused = false;
    std::optional<int> openError; // the library's code; 0: open
    std::optional<int> lostError;
    QStringList notices;          // settings the gateway did not confirm
    bool noComPortOption = false; // an rfc2217:// peer that speaks no Telnet
    // Bytes handed over and not yet taken by the connection, `outgoing` included.
    qsizetype unsent = 0;

    const UniqueFd toNetwork; // eventfd the network thread watches
    const UniqueFd toMain;    // eventfd the main thread watches
};

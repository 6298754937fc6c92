#pragma once

#include "line/NetworkAddress.h"

#include <QList>
#include <memory>
#include <mutex>
#include <thread>

struct NetworkMailbox;

// The thread that runs libgensio for every network line of the process. libgensio keeps
// process-wide state tied to the first set of its OS functions, which must therefore
// live as long as the process; and it may be driven from one thread only unless signals
// are set aside for waking threads. So one thread serves all lines: it exists while a
// network line exists, and everything libgensio does happens on it. The lines talk to
// it only through their mailboxes.
class GensioService {
public:
    // The running service, started when no line had one.
    static std::shared_ptr<GensioService> acquire();

    GensioService();
    ~GensioService();
    GensioService(const GensioService&) = delete;
    GensioService& operator=(const GensioService&) = delete;

    // Connects to `address` (its host already a numeric address) for the line that owns
    // the mailbox. Any thread.
    void add(std::shared_ptr<NetworkMailbox> mailbox, NetworkAddress address);

private:
    struct Request {
        std::shared_ptr<NetworkMailbox> mailbox;
        NetworkAddress address;
    };
    void run();

    std::mutex m_mutex;
    QList<Request> m_requests;
    bool m_stopRequested = false;
    int m_wake = -1;
    std::thread m_thread;
};

// The library's text for one of its error codes.
const char* gensioErrorText(int error);
// Whether a code means that the host or its network cannot be reached, or the peer
// refused.
bool isUnreachableError(int error);
bool isRefusedError(int error);

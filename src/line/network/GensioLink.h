#pragma once

#include "line/NetworkAddress.h"
#include "line/UniqueFd.h"

#include <QList>
#include <mutex>
#include <thread>

struct NetworkMailbox;

// The thread that runs libgensio for every network line of the process. libgensio keeps
// process-wide state tied to the first set of its OS functions, which must therefore
// live as long as the process; and it may be driven from one thread only unless signals
// are set aside for waking threads. So one thread serves all lines: it starts with the
// first network line, lives as long as the process, and everything libgensio does happens
// on it. The lines talk to it only through their mailboxes: a line that closes only says
// so and goes, the thread closes its connection by itself.
class GensioService {
public:
    static GensioService& instance();

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
    UniqueFd m_wake;
    std::thread m_thread;
};

// The library's text for one of its error codes.
const char* gensioErrorText(int error);
// Whether a code means that the host or its network cannot be reached, or the peer
// refused.
bool isUnreachableError(int error);
bool isRefusedError(int error);

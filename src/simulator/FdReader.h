#pragma once

#include <functional>
#include <optional>
#include <thread>

// Watches one descriptor for readability on a thread of its own and calls a handler
// there. The handler does the reading; returning false ends the watch. stop() wakes
// the thread through an eventfd and joins it, so that once it returns no handler runs
// any more and the owner may close the descriptor.
class FdReader {
public:
    // Called on the reader thread with poll's revents for the descriptor: POLLIN, and
    // POLLHUP or POLLERR when the other side has gone. Return false to stop reading.
    using Handler = std::function<bool(short revents)>;
    // Called on the reader thread after `idleMs` without anything to read.
    using Idle = std::function<void()>;

    FdReader() = default;
    ~FdReader();
    FdReader(const FdReader&) = delete;
    FdReader& operator=(const FdReader&) = delete;

    // Starts watching fd. On failure returns the errno and nothing runs. A reader that
    // is already running is stopped first.
    std::optional<int> start(int fd, Handler handler, Idle idle = {}, int idleMs = -1);

    // Ends the watch and waits for the thread. Harmless when not running. Must not be
    // called from the handler itself.
    void stop();

    // For the handler: waits until `fd` takes more bytes. False when stop() asked the
    // thread to end meanwhile.
    bool waitWritable(int fd) const;

    // True from start() until stop(), even after the handler has ended the watch.
    bool isStarted() const { return m_thread.joinable(); }

private:
    static void run(int fd, int wakeFd, const Handler& handler, const Idle& idle, int idleMs);

    // Written before the thread starts and after it is joined; read by the thread.
    int m_wakeFd = -1;
    std::thread m_thread;
};

#include "simulator/FdReader.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

FdReader::~FdReader()
{
    stop();
}

std::optional<int> FdReader::start(int fd, Handler handler, Idle idle, int idleMs)
{
    stop();
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return errno;
    m_wakeFd = wakeFd;
    try {
        m_thread =
            std::thread(&FdReader::run, fd, wakeFd, std::move(handler), std::move(idle), idleMs);
    } catch (const std::system_error& error) {
        ::close(wakeFd);
        m_wakeFd = -1;
        return error.code().value();
    }
    return std::nullopt;
}

void FdReader::stop()
{
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    // The counter cannot overflow from one write; the result needs no check.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    ::close(m_wakeFd);
    m_wakeFd = -1;
}

bool FdReader::waitWritable(int fd) const
{
    pollfd watched[2] = {{fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (watched[1].revents != 0)
            return false;
        if (watched[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
        if (watched[0].revents & POLLOUT)
            return true;
    }
}

void FdReader::run(int fd, int wakeFd, const Handler& handler, const Idle& idle, int idleMs)
{
    pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int ready = poll(watched, 2, idle ? idleMs : -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            // Two valid descriptors leave poll no other way to fail.
            return;
        }
        if (ready == 0) {
            idle();
            continue;
        }
        // A stop request wins over pending input, so that closing under heavy
        // traffic does not wait for the traffic to end.
        if (watched[1].revents != 0 || (watched[0].revents & POLLNVAL) != 0)
            return;
        if (watched[0].revents != 0 && !handler(watched[0].revents))
            return;
    }
}

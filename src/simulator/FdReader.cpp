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

std::optional<int> FdReader::start(int fd, Handler handler)
{
    stop();
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return errno;
    try {
        m_thread = std::thread(&FdReader::run, fd, wakeFd, std::move(handler));
    } catch (const std::system_error& error) {
        ::close(wakeFd);
        return error.code().value();
    }
    m_wakeFd = wakeFd;
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

void FdReader::run(int fd, int wakeFd, const Handler& handler)
{
    pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            // Two valid descriptors leave poll no other way to fail.
            return;
        }
        // A stop request wins over pending input, so that closing under heavy
        // traffic does not wait for the traffic to end.
        if (watched[1].revents != 0 || (watched[0].revents & POLLNVAL) != 0)
            return;
        if (watched[0].revents != 0 && !handler(watched[0].revents))
            return;
    }
}

#include "line/network/NetworkMailbox.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

NetworkMailbox::NetworkMailbox()
    : toNetwork(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , toMain(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

NetworkMailbox::~NetworkMailbox() = default;

void NetworkMailbox::wakeNetwork() const
{
    signal(toNetwork.get());
}

void NetworkMailbox::wakeMain() const
{
    signal(toMain.get());
}

void NetworkMailbox::drain(int eventFd)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(eventFd, &count, sizeof count);
}

void NetworkMailbox::signal(int eventFd)
{
    const std::uint64_t one = 1;
    // The counter cannot overflow from ones; a wake-up already pending is as good.
    [[maybe_unused]] const ssize_t written = ::write(eventFd, &one, sizeof one);
}

void NetworkMailbox::waitReadable(int eventFd)
{
    pollfd watched{eventFd, POLLIN, 0};
    ::poll(&watched, 1, -1);
}

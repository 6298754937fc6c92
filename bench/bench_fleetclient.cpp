// The least a client can do for one value from each display of a fleet behind raw-TCP gateway
// ports: connect, ask for a fresh prompt, wait for ">", pause as the display needs, send
// "get volume", wait for ">", close; at most PARALLEL displays at once, all on one epoll loop.
// bench_fleet runs it beside bildwartctl to see what the tool adds for a fleet.
//
// Usage: bench_fleetclient TARGETSFILE [PARALLEL, default 256] [PAUSE_MS, default 50]
// Takes the "tcp://IPV4:PORT" lines of the file. Exits with 0 when every display answered,
// 1 when one did not (how many and why on stderr), 2 when it could not start.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The whole exchange with one display, connecting included; a display that takes longer
// counts as failed and frees its place.
constexpr auto exchangeTimeout = 5s;
constexpr int maxParallel = 16384;

enum class Failure { refused, closed, timeout, garbled, count };
constexpr const char* failureNames[] = {"could not connect", "closed the connection",
                                        "did not answer in time", "answered something else"};

std::optional<sockaddr_in> parseTarget(const std::string& line)
{
    static const std::string scheme = "tcp://";
    if (line.compare(0, scheme.size(), scheme) != 0)
        return std::nullopt;
    const std::string address =
        line.substr(scheme.size(), line.find_first_of(" \t") - scheme.size());
    const auto colon = address.rfind(':');
    if (colon == std::string::npos)
        return std::nullopt;
    sockaddr_in result{};
    result.sin_family = AF_INET;
    const int port = std::atoi(address.c_str() + colon + 1);
    if (port < 1 || port > 65535 ||
        ::inet_pton(AF_INET, address.substr(0, colon).c_str(), &result.sin_addr) != 1)
        return std::nullopt;
    result.sin_port = htons(uint16_t(port));
    return result;
}

struct Exchange {
    enum class State { idle, connecting, firstPrompt, pause, answer };
    State state = State::idle;
    int fd = -1;
    Clock::time_point deadline;  // of the whole exchange
    Clock::time_point pauseEnds; // while in pause
    std::string received;
};

class FleetClient {
public:
    FleetClient(std::vector<sockaddr_in> targets, int parallel, std::chrono::milliseconds pause)
        : m_targets(std::move(targets))
        , m_slots(size_t(parallel))
        , m_pause(pause)
    {
    }
    ~FleetClient()
    {
        for (Exchange& slot : m_slots) {
            if (slot.fd >= 0)
                ::close(slot.fd);
        }
        if (m_epoll >= 0)
            ::close(m_epoll);
    }

    bool run()
    {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (m_epoll < 0) {
            std::perror("epoll_create1");
            return false;
        }
        for (size_t i = 0; i < m_slots.size(); ++i)
            startNext(i);
        std::vector<epoll_event> events(m_slots.size());
        while (m_active > 0) {
            const int ready = ::epoll_wait(m_epoll, events.data(), int(events.size()), waitMs());
            if (ready < 0 && errno != EINTR) {
                std::perror("epoll_wait");
                return false;
            }
            for (int i = 0; i < ready; ++i)
                onEvent(events[size_t(i)].data.u32, events[size_t(i)].events);
            onClock();
        }
        return true;
    }

    size_t succeeded() const { return m_succeeded; }
    const size_t* failures() const { return m_failures; }

private:
    // Until the nearest deadline or end of a pause, at least a millisecond so as not to spin.
    int waitMs() const
    {
        auto nearest = Clock::time_point::max();
        for (const Exchange& slot : m_slots) {
            if (slot.state == Exchange::State::idle)
                continue;
            nearest = std::min(nearest, slot.state == Exchange::State::pause ? slot.pauseEnds
                                                                             : slot.deadline);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - Clock::now());
        return int(std::clamp<long long>(wait.count(), 1, 1000));
    }

    void startNext(size_t index)
    {
        while (m_next < m_targets.size()) {
            const sockaddr_in& target = m_targets[m_next++];
            Exchange& slot = m_slots[index];
            slot = Exchange{};
            slot.deadline = Clock::now() + exchangeTimeout;
            slot.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (slot.fd < 0) {
                std::perror("socket");
                fail(index, Failure::refused, false);
                continue;
            }
            // What the client sends is one short line at a time; none of it may wait for an
            // acknowledgement.
            const int on = 1;
            ::setsockopt(slot.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const int result =
                ::connect(slot.fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
            if (result != 0 && errno != EINPROGRESS) {
                fail(index, Failure::refused, false);
                continue;
            }
            epoll_event event{};
            event.events = EPOLLOUT;
            event.data.u32 = uint32_t(index);
            if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, slot.fd, &event) != 0) {
                std::perror("epoll_ctl");
                fail(index, Failure::refused, false);
                continue;
            }
            slot.state = Exchange::State::connecting;
            ++m_active;
            return;
        }
    }

    void onEvent(uint32_t index, uint32_t events)
    {
        Exchange& slot = m_slots[index];
        switch (slot.state) {
        case Exchange::State::idle:
        case Exchange::State::pause:
            return;
        case Exchange::State::connecting: {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(slot.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
                fail(index, Failure::refused);
                return;
            }
            if (!(events & EPOLLOUT))
                return;
            if (!send(index, "\r"))
                return;
            slot.state = Exchange::State::firstPrompt;
            listenFor(index, EPOLLIN);
            return;
        }
        case Exchange::State::firstPrompt:
        case Exchange::State::answer:
            receive(index);
            return;
        }
    }

    void receive(uint32_t index)
    {
        Exchange& slot = m_slots[index];
        char buffer[512];
        bool ended = false;
        for (;;) {
            const ssize_t n = ::read(slot.fd, buffer, sizeof buffer);
            if (n > 0) {
                slot.received.append(buffer, size_t(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            ended = n == 0 || errno != EAGAIN;
            break;
        }
        const bool prompt = !slot.received.empty() && slot.received.back() == '>';
        // A gateway that hangs up right after the answer has still given it.
        if (ended && !(prompt && slot.state == Exchange::State::answer)) {
            fail(index, Failure::closed);
            return;
        }
        if (!prompt)
            return;
        if (slot.state == Exchange::State::firstPrompt) {
            // The pause needs no events; the clock ends it.
            slot.state = Exchange::State::pause;
            slot.pauseEnds = Clock::now() + m_pause;
            listenFor(index, 0);
            return;
        }
        if (slot.received.find("volume=") == std::string::npos) {
            fail(index, Failure::garbled);
            return;
        }
        ++m_succeeded;
        finish(index);
    }

    void onClock()
    {
        const auto now = Clock::now();
        for (size_t index = 0; index < m_slots.size(); ++index) {
            Exchange& slot = m_slots[index];
            if (slot.state == Exchange::State::idle)
                continue;
            if (now >= slot.deadline) {
                fail(uint32_t(index), Failure::timeout);
            } else if (slot.state == Exchange::State::pause && now >= slot.pauseEnds) {
                slot.received.clear();
                if (!send(uint32_t(index), "get volume\r"))
                    continue;
                slot.state = Exchange::State::answer;
                listenFor(uint32_t(index), EPOLLIN);
            }
        }
    }

    bool send(uint32_t index, const char* text)
    {
        const size_t length = std::strlen(text);
        // A few bytes into an empty socket buffer: all or nothing.
        if (::write(m_slots[index].fd, text, length) != ssize_t(length)) {
            fail(index, Failure::closed);
            return false;
        }
        return true;
    }

    void listenFor(uint32_t index, uint32_t events)
    {
        epoll_event event{};
        event.events = events;
        event.data.u32 = index;
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_slots[index].fd, &event);
    }

    void fail(size_t index, Failure failure, bool active = true)
    {
        ++m_failures[size_t(failure)];
        if (active) {
            finish(index);
        } else if (m_slots[index].fd >= 0) {
            ::close(m_slots[index].fd);
            m_slots[index].fd = -1;
        }
    }

    // Frees the place for the next display.
    void finish(size_t index)
    {
        Exchange& slot = m_slots[index];
        ::close(slot.fd); // leaves the epoll set with it
        slot.fd = -1;
        slot.state = Exchange::State::idle;
        --m_active;
        startNext(index);
    }

    std::vector<sockaddr_in> m_targets;
    std::vector<Exchange> m_slots;
    std::chrono::milliseconds m_pause;
    int m_epoll = -1;
    size_t m_next = 0;
    size_t m_active = 0;
    size_t m_succeeded = 0;
    size_t m_failures[size_t(Failure::count)] = {};
};

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TARGETSFILE [PARALLEL] [PAUSE_MS]\n", argv[0]);
        return 2;
    }
    const int parallel = argc > 2 ? std::atoi(argv[2]) : 256;
    const int pauseMs = argc > 3 ? std::atoi(argv[3]) : 50;
    if (parallel < 1 || parallel > maxParallel || pauseMs < 0) {
        std::fprintf(stderr, "PARALLEL from 1 to %d, PAUSE_MS from 0\n", maxParallel);
        return 2;
    }
    std::ifstream file(argv[1]);
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    std::vector<sockaddr_in> targets;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        const auto target = parseTarget(line);
        if (!target) {
            std::fprintf(stderr, "%s: not a tcp://IPV4:PORT line: %s\n", argv[1], line.c_str());
            return 2;
        }
        targets.push_back(*target);
    }
    if (targets.empty()) {
        std::fprintf(stderr, "%s: no targets\n", argv[1]);
        return 2;
    }
    raiseDescriptorLimit();

    FleetClient client(targets, int(std::min<size_t>(size_t(parallel), targets.size())),
                       std::chrono::milliseconds(pauseMs));
    if (!client.run())
        return 2;
    if (client.succeeded() == targets.size())
        return 0;
    std::fprintf(stderr, "%zu of %zu displays answered;", client.succeeded(), targets.size());
    for (size_t i = 0; i < size_t(Failure::count); ++i) {
        if (client.failures()[i] > 0)
            std::fprintf(stderr, " %zu %s;", client.failures()[i], failureNames[i]);
    }
    std::fprintf(stderr, "\n");
    return 1;
}

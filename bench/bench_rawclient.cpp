// The least a client can do for one value: open the line raw, ask for a fresh prompt, wait
// for ">", pause as the display needs, send "get volume", wait for ">". bench_commandline
// runs it beside bildwartctl to see what the tool adds. No Qt, to start as fast as can be.
//
// Usage: bench_rawclient DEVICE [PAUSE_MS, default 50]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Reads until the answer ends with the prompt; false after a second of silence.
bool readPrompt(int fd, std::string& answer)
{
    char buffer[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        answer.append(buffer, size_t(n));
        if (!answer.empty() && answer.back() == '>')
            return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const int pauseMs = argc > 2 ? std::atoi(argv[2]) : 50;
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0)
        return 3;
    termios attributes{};
    tcgetattr(fd, &attributes);
    cfmakeraw(&attributes);
    tcsetattr(fd, TCSANOW, &attributes);
    std::string answer;
    if (::write(fd, "\r", 1) != 1 || !readPrompt(fd, answer))
        return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    answer.clear();
    const char query[] = "get volume\r";
    if (::write(fd, query, sizeof query - 1) != ssize_t(sizeof query - 1) ||
        !readPrompt(fd, answer))
        return 1;
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    ::close(fd);
    return 0;
}

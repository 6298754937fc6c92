// What bildwartctl costs for a fleet of 1000 displays behind raw-TCP gateway ports
// (bench_gateway_fleet, one process with a port per display), in turns:
//  - the minimal fleet client (bench_fleetclient): "get volume" from each, 256 at once;
//  - "bildwartctl --targets FILE --parallel 256 get volume";
//  - "bildwartctl --targets FILE get volume", at the tool's own default parallelism;
//  - "bildwartctl --targets FILE status": wall time and peak memory (ru_maxrss of the tool's
//    process: with one process per display that is the largest of them, not their sum).
//  - "bildwartctl serve --targets FILE --metrics PORT" holding all of them at its 30 s poll:
//    a scrape of /metrics once a second for a minute (its 95th percentile) and the CPU the
//    process used in that minute; then a minute scraped every 30 s, as the shipped Prometheus
//    configuration does, and its CPU; and the peak memory.
// Goals: at 256 at most 1.5 times the minimal client; at the default at most 3 times the
// minimal client at 256; status within 150 MB; a scrape within 50 ms at the 95th
// percentile, serve within 200 MB and 5 % of one core.
//
// Usage: bench_fleet [ROUNDS, default 3 | serve (only serve)]
//
// No Qt here: a child started with posix_spawn (vfork) carries the starting process's peak
// memory into its own ru_maxrss, and this one should stay small beside the tool's.
#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int fleetSize = 1000;
constexpr int parallel = 256;
constexpr double parallelGoal = 1.5;
constexpr double defaultGoal = 3.0;
constexpr double memoryGoalMb = 150;
constexpr double scrapeGoalMs = 50;
constexpr double serveMemoryGoalMb = 200;
constexpr double serveCpuGoal = 0.05;
constexpr int metricsPort = 19787;
// A thousand ports are open in well under a second; a fixture that has not said "ready" by
// then will not.
constexpr auto fixtureStartLimit = 60s;
constexpr auto fixtureEndLimit = 10s;
// One run at the slowest: status for every display, 16 at once, one process each. A run that
// takes longer is stopped and counts as failed.
constexpr auto runLimit = 20min;

// The first of what the child's stdin, stdout and stderr should be: an inherited descriptor,
// /dev/null, or a given descriptor.
struct Redirect {
    enum Kind { inherit, discard, descriptor } kind = inherit;
    int fd = -1;
};

using Command = std::vector<std::string>;

pid_t spawn(Command command, Redirect in, Redirect out, Redirect err)
{
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::array<Redirect, 3> redirects{in, out, err};
    for (int target = 0; target < 3; ++target) {
        const Redirect& r = redirects[size_t(target)];
        if (r.kind == Redirect::discard)
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                             target == 0 ? O_RDONLY : O_WRONLY, 0);
        else if (r.kind == Redirect::descriptor)
            posix_spawn_file_actions_adddup2(&actions, r.fd, target);
    }
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return spawned ? pid : -1;
}

// Waits for the child to end, at most `limit`; kills it then. The child's rusage with it.
struct Ending {
    int status = 0;
    rusage usage{};
    bool killed = false;
};

Ending reap(pid_t pid, std::chrono::milliseconds limit)
{
    Ending ending;
    const int pidFd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd p{pidFd, POLLIN, 0};
        const auto deadline = Clock::now() + limit;
        int ready = 0;
        do {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            ready = ::poll(&p, 1, int(std::max<long long>(0, left.count())));
        } while (ready < 0 && errno == EINTR);
        ::close(pidFd);
        if (ready == 0) {
            ::kill(pid, SIGKILL);
            ending.killed = true;
        }
    } else {
        // Without pidfd (a kernel before 5.3) the wait is unbounded; the run has its own.
        std::perror("pidfd_open");
    }
    while (::wait4(pid, &ending.status, 0, &ending.usage) < 0 && errno == EINTR) {
    }
    return ending;
}

// The fleet of simulated displays, for as long as this object lives.
class Fixture {
public:
    bool start(const std::string& targetsFile)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
            std::perror("pipe2");
            return false;
        }
        m_input = input[1];
        m_output = output[0];
        m_pid = spawn({BENCH_GATEWAY_FLEET, std::to_string(fleetSize), targetsFile},
                      {Redirect::descriptor, input[0]}, {Redirect::descriptor, output[1]}, {});
        ::close(input[0]);
        ::close(output[1]);
        if (m_pid < 0) {
            std::fprintf(stderr, "%s did not start\n", BENCH_GATEWAY_FLEET);
            return false;
        }
        // Its stdout ends when it does: a fixture that dies does not leave this waiting.
        std::string said;
        const auto deadline = Clock::now() + fixtureStartLimit;
        while (said.find("ready\n") == std::string::npos) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) == 0) {
                std::fprintf(stderr, "the fixture did not say \"ready\" in time\n");
                return false;
            }
            char buffer[64];
            const ssize_t n = ::read(m_output, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                std::fprintf(stderr, "the fixture ended before it was ready\n");
                return false;
            }
            said.append(buffer, size_t(n));
        }
        return true;
    }

    // Closing its stdin ends it.
    ~Fixture()
    {
        if (m_input >= 0)
            ::close(m_input);
        if (m_pid > 0) {
            const Ending ending =
                reap(m_pid, std::chrono::duration_cast<std::chrono::milliseconds>(fixtureEndLimit));
            if (ending.killed)
                std::fprintf(stderr, "the fixture did not end when its stdin closed\n");
        }
        if (m_output >= 0)
            ::close(m_output);
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
};

class TemporaryDir {
public:
    TemporaryDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench_fleet-XXXXXX");
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
        else
            std::perror("mkdtemp");
    }
    ~TemporaryDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryDir(const TemporaryDir&) = delete;
    TemporaryDir& operator=(const TemporaryDir&) = delete;

    // Empty when it could not be made.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct Run {
    double seconds = 0;
    double maxRssMb = 0;
    int exitCode = 0; // -1: see `fate`
    std::string fate; // why there is no exit code
};

// One whole run of a program. bildwartctl's output is not what is measured; the minimal
// client's stderr stays, it says what failed.
Run runOnce(const Command& command, bool quietErrors)
{
    Run run;
    const auto start = Clock::now();
    const pid_t pid = spawn(command, {Redirect::discard}, {Redirect::discard},
                            {quietErrors ? Redirect::discard : Redirect::inherit});
    if (pid < 0) {
        run.exitCode = -1;
        run.fate = "did not start";
        return run;
    }
    const Ending ending =
        reap(pid, std::chrono::duration_cast<std::chrono::milliseconds>(runLimit));
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.maxRssMb = double(ending.usage.ru_maxrss) / 1024; // kilobytes on Linux
    run.exitCode = !ending.killed && WIFEXITED(ending.status) ? WEXITSTATUS(ending.status) : -1;
    if (ending.killed)
        run.fate = "stopped: took too long";
    else if (WIFSIGNALED(ending.status))
        run.fate = "ended by signal " + std::to_string(WTERMSIG(ending.status));
    return run;
}

struct Case {
    const char* title;
    Command command;
    bool quietErrors;
    std::vector<Run> runs;

    double medianSeconds() const
    {
        std::vector<double> times;
        for (const Run& run : runs)
            times.push_back(run.seconds);
        std::sort(times.begin(), times.end());
        return times.empty() ? 0 : times[times.size() / 2];
    }
    double peakMb() const
    {
        double peak = 0;
        for (const Run& run : runs)
            peak = std::max(peak, run.maxRssMb);
        return peak;
    }
    int failedRuns() const
    {
        return int(std::count_if(runs.begin(), runs.end(),
                                 [](const Run& run) { return run.exitCode != 0; }));
    }
    int unreachableRuns() const
    {
        return int(std::count_if(runs.begin(), runs.end(),
                                 [](const Run& run) { return run.exitCode == 3; }));
    }
};

} // namespace

// One GET of /metrics on 127.0.0.1; its milliseconds, or -1 when it failed.
double scrapeMs(int port, std::string* body = nullptr)
{
    const auto start = Clock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::string answer;
    if (::write(fd, request.data(), request.size()) == ssize_t(request.size())) {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            answer.append(buffer, size_t(n));
    }
    ::close(fd);
    if (answer.find(" 200 ") == std::string::npos ||
        answer.find("bildwart_up{") == std::string::npos)
        return -1;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (body)
        *body = std::move(answer);
    return ms;
}

// A sample's value in a scrape ("NAME VALUE" at the start of a line); -1 when missing.
double sampleOf(const std::string& text, const std::string& name)
{
    const size_t at = text.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + name.size() + 2);
}

// User and system time of a process so far, in seconds.
double cpuSeconds(pid_t pid)
{
    std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!file)
        return -1;
    char text[4096] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    const std::string stat(text, n);
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    std::string rest = stat.substr(stat.rfind(')') + 2);
    std::vector<std::string> fields;
    for (size_t at = 0, next; at < rest.size(); at = next + 1) {
        next = rest.find(' ', at);
        if (next == std::string::npos)
            next = rest.size();
        fields.push_back(rest.substr(at, next - at));
    }
    if (fields.size() < 13)
        return -1;
    return double(std::stoll(fields[11]) + std::stoll(fields[12])) / double(::sysconf(_SC_CLK_TCK));
}

// The process's peak resident memory (VmHWM) in MB.
double peakMb(pid_t pid)
{
    std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!file)
        return -1;
    char line[256];
    double kb = -1;
    while (std::fgets(line, sizeof line, file)) {
        if (std::sscanf(line, "VmHWM: %lf kB", &kb) == 1)
            break;
    }
    std::fclose(file);
    return kb / 1024.0;
}

int main(int argc, char** argv)
{
    const bool onlyServe = argc > 1 && std::string(argv[1]) == "serve";
    const int rounds = onlyServe ? 0 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    // The targets file, and a settings store of the tool's own: it must not read the user's.
    const TemporaryDir dir;
    if (dir.path().empty())
        return 2;
    const std::string config = dir.path() + "/config";
    std::filesystem::create_directory(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string runtime = dir.path() + "/run";
    std::filesystem::create_directory(runtime);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string targets = dir.path() + "/ziele.txt";

    Fixture fixture;
    if (!fixture.start(targets))
        return 2;

    const std::string wide = std::to_string(parallel);
    std::vector<Case> cases{
        {"minimal client, 256 at once", {BENCH_FLEETCLIENT, targets, wide}, false, {}},
        {"bildwartctl --parallel 256 get volume",
         {BILDWARTCTL, "--targets", targets, "--parallel", wide, "get", "volume"},
         true,
         {}},
        {"bildwartctl get volume (its default)",
         {BILDWARTCTL, "--targets", targets, "get", "volume"},
         true,
         {}},
        {"bildwartctl status (its default)",
         {BILDWARTCTL, "--targets", targets, "status"},
         true,
         {}},
        // The same exchange at the tool's default parallelism: what 64 at once can reach at
        // all, with the pause of 50 ms per display.
        {"minimal client, 64 at once", {BENCH_FLEETCLIENT, targets, "64"}, false, {}},
    };

    // In turns, so that whatever else the machine does falls on every case alike.
    for (int round = 1; round <= rounds; ++round) {
        for (Case& c : cases) {
            const Run run = runOnce(c.command, c.quietErrors);
            c.runs.push_back(run);
            std::printf("round %d/%d  %-40s %8.2f s  %7.1f MB", round, rounds, c.title, run.seconds,
                        run.maxRssMb);
            if (run.exitCode == 3)
                std::printf("  exit code 3: displays unreachable");
            else if (run.exitCode > 0)
                std::printf("  exit code %d", run.exitCode);
            else if (run.exitCode < 0)
                std::printf("  %s", run.fate.c_str());
            std::printf("\n");
            std::fflush(stdout);
        }
    }

    const Case& minimal = cases[0];
    const Case& wideTool = cases[1];
    const Case& defaultTool = cases[2];
    const Case& status = cases[3];
    const Case& minimalAtDefault = cases[4];
    std::printf("\n%d displays behind raw-TCP ports, median of %d:\n", fleetSize, rounds);
    for (const Case& c : cases) {
        std::printf("    %-40s %8.2f s  peak %7.1f MB", c.title, c.medianSeconds(), c.peakMb());
        if (c.failedRuns() > 0)
            std::printf("  (%d of %d runs failed, %d with displays unreachable)", c.failedRuns(),
                        int(c.runs.size()), c.unreachableRuns());
        std::printf("\n");
    }
    const double wideRatio = wideTool.medianSeconds() / minimal.medianSeconds();
    const double defaultRatio = defaultTool.medianSeconds() / minimal.medianSeconds();
    std::printf("--parallel 256 against the minimal client: %.2f x (goal <= %.1f)\n", wideRatio,
                parallelGoal);
    std::printf("default parallelism against the minimal client at 256: %.2f x (goal <= %.1f)\n",
                defaultRatio, defaultGoal);
    std::printf("default parallelism against the minimal client at 64: %.2f x\n",
                defaultTool.medianSeconds() / minimalAtDefault.medianSeconds());
    std::printf("status: %.2f s, peak %.1f MB (goal <= %.0f MB)\n", status.medianSeconds(),
                status.peakMb(), memoryGoalMb);

    // serve holding the thousand at its own poll; measured once all have connected.
    const pid_t serve = spawn(
        {BILDWARTCTL, "serve", "--targets", targets, "--metrics", std::to_string(metricsPort)}, {},
        {Redirect::discard}, {Redirect::discard});
    std::vector<double> scrapes;
    double cpu = -1;
    double cpuAt30s = -1;
    double serveMb = -1;
    double serverMs = -1; // mean time the exposer took per scrape, by its own summary
    if (serve > 0) {
        std::this_thread::sleep_for(35s); // the connects are spread over the 30 s poll
        const double cpuBefore = cpuSeconds(serve);
        const auto minute = Clock::now();
        std::string first;
        std::string last;
        while (Clock::now() - minute < 60s) {
            scrapes.push_back(scrapeMs(metricsPort, first.empty() ? &first : &last));
            std::this_thread::sleep_for(1s);
        }
        // The exposer's own account of the time it took to answer, without the way back.
        const double served = sampleOf(last, "exposer_request_latencies_count") -
                              sampleOf(first, "exposer_request_latencies_count");
        if (served > 0)
            serverMs = (sampleOf(last, "exposer_request_latencies_sum") -
                        sampleOf(first, "exposer_request_latencies_sum")) /
                       served / 1000.0;
        cpu = (cpuSeconds(serve) - cpuBefore) /
              std::chrono::duration<double>(Clock::now() - minute).count();
        const double cpuBeforeQuiet = cpuSeconds(serve);
        const auto quietMinute = Clock::now();
        for (int i = 0; i < 2; ++i) {
            std::this_thread::sleep_for(30s);
            scrapeMs(metricsPort);
        }
        cpuAt30s = (cpuSeconds(serve) - cpuBeforeQuiet) /
                   std::chrono::duration<double>(Clock::now() - quietMinute).count();
        serveMb = peakMb(serve);
        ::kill(serve, SIGTERM);
        reap(serve, 10000ms);
    }
    const bool scraped = !scrapes.empty() && std::none_of(scrapes.begin(), scrapes.end(),
                                                          [](double ms) { return ms < 0; });
    std::sort(scrapes.begin(), scrapes.end());
    const double p95 = scraped ? scrapes[size_t(double(scrapes.size() - 1) * 0.95)] : -1;
    const double p50 = scraped ? scrapes[scrapes.size() / 2] : -1;
    std::printf("serve, %d displays at a 30 s poll: scrape median %.1f ms, p95 %.1f ms (goal <= "
                "%.0f), CPU %.1f %% of a core scraped every second, %.1f %% scraped every 30 s "
                "(goal <= %.0f %%), peak %.1f MB (goal <= %.0f MB)\n",
                fleetSize, p50, p95, scrapeGoalMs, cpu * 100.0, cpuAt30s * 100.0,
                serveCpuGoal * 100.0, serveMb, serveMemoryGoalMb);

    const bool allRan =
        scraped && cpu >= 0 &&
        std::all_of(cases.begin(), cases.end(), [](const Case& c) { return c.failedRuns() == 0; });
    const bool met = allRan && wideRatio <= parallelGoal && defaultRatio <= defaultGoal &&
                     status.peakMb() <= memoryGoalMb && p95 <= scrapeGoalMs &&
                     cpuAt30s <= serveCpuGoal && serveMb <= serveMemoryGoalMb;
    std::printf("the exposer's own mean per scrape in that minute: %.1f ms\n", serverMs);
    std::printf("%s\n", met ? "goals met" : allRan ? "GOALS MISSED" : "GOALS MISSED (runs failed)");
    return met ? 0 : 1;
}

// A peer that writes random bytes into a pseudo-terminal as fast as it takes them:
//  (a) the controller with the terminal view shown (offscreen), on the real serial port:
//      peak memory against the same program connected and idle, and the longest gap
//      between two passes of the event loop;
//  (b) "bildwartctl monitor --duration 5" on the flooded line: its peak memory against an
//      idle run, whether it ends on time, and how soon it ends on SIGINT.
// Goals: peak memory at most twice the idle program's, no gap over 100 ms, --duration and
// SIGINT honoured within a second.
//
// Usage: bench_flood [flood seconds for (a), default 15]
#include "LoopGapProbe.h"
#include "QuietSpawn.h"
#include "app/terminal/TerminalView.h"
#include "controller/DisplayController.h"
#include "controller/PortList.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double memoryGoal = 2.0;
constexpr double gapGoalMs = 100;
constexpr double lateGoalSeconds = 1.0;
constexpr int monitorSeconds = 5;

// A pseudo-terminal whose master side a thread floods while it runs.
class Flood {
public:
    Flood()
    {
        int slave = -1;
        openpty(&m_master, &slave, nullptr, nullptr, nullptr);
        termios attributes{};
        tcgetattr(slave, &attributes);
        cfmakeraw(&attributes);
        tcsetattr(slave, TCSANOW, &attributes);
        m_slavePath = QString::fromLocal8Bit(ttyname(slave));
        m_slave = slave; // kept, so the pair outlives every client
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Flood()
    {
        stop();
        ::close(m_master);
        ::close(m_slave);
    }
    const QString& slavePath() const { return m_slavePath; }

    void start()
    {
        m_stop = false;
        m_thread = std::thread([this] {
            std::mt19937 random(20261206);
            QByteArray block(4096, Qt::Uninitialized);
            while (!m_stop.load()) {
                for (char& byte : block)
                    byte = char(random());
                if (::write(m_master, block.constData(), size_t(block.size())) < 0) {
                    pollfd p{m_master, POLLOUT, 0};
                    ::poll(&p, 1, 10);
                }
            }
        });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        // What is left in the line belongs to no later run.
        char buffer[4096];
        while (::read(m_master, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// This process's memory from /proc (kB): "VmRSS" now, "VmHWM" its peak so far.
long memoryKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void runEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct WindowResult {
    long idleKb = 0;
    long peakKb = 0;
    double longestGapMs = 0;
};

WindowResult floodTheWindow(Flood& flood, int seconds)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath("bench.conf"), QSettings::IniFormat);
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    ControllerSettings stored;
    stored.pollingEnabled = false;
    DisplayController controller(stored, options);
    TerminalView view(controller, store);
    view.resize(1000, 600);
    view.show();
    controller.ports().select(flood.slavePath());
    controller.connectLine();
    runEventLoopFor(1000);

    WindowResult result;
    result.idleKb = memoryKb("VmRSS:");
    LoopGapProbe probe;
    flood.start();
    probe.start();
    runEventLoopFor(seconds * 1000);
    probe.stop();
    flood.stop();
    result.peakKb = memoryKb("VmHWM:");
    result.longestGapMs = probe.longestGapMs();
    controller.disconnectLine();
    return result;
}

struct ToolResult {
    long peakKb = 0;
    double seconds = 0;
    int status = -1;
};

// Runs bildwartctl with these arguments (stdout to /dev/null); sends SIGINT after
// `interruptAfter` seconds when that is above 0.
ToolResult runTool(const QStringList& arguments, double interruptAfter = 0)
{
    ToolResult result;
    const auto start = Clock::now();
    const pid_t pid = spawnQuietly(QStringList{QStringLiteral(BILDWARTCTL)} + arguments);
    if (pid < 0)
        return result;
    Clock::time_point interruptedAt{};
    if (interruptAfter > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(interruptAfter));
        interruptedAt = Clock::now();
        ::kill(pid, SIGINT);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto end = Clock::now();
    result.peakKb = usage.ru_maxrss;
    result.seconds =
        std::chrono::duration<double>(end - (interruptAfter > 0 ? interruptedAt : start)).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;
    Flood flood;

    const WindowResult window = floodTheWindow(flood, seconds);
    const double windowRatio = double(window.peakKb) / double(window.idleKb);
    std::printf("(a) controller + terminal view, %d s of flood:\n", seconds);
    std::printf("    idle %ld kB, peak %ld kB (%.2f x, goal <= %.1f), longest gap %.1f ms "
                "(goal <= %.0f)\n",
                window.idleKb, window.peakKb, windowRatio, memoryGoal, window.longestGapMs,
                gapGoalMs);

    const QStringList monitor{"-p",
                              flood.slavePath(),
                              "--delay",
                              "0",
                              "monitor",
                              "--duration",
                              QString::number(monitorSeconds)};
    const ToolResult idle = runTool(monitor);
    flood.start();
    const ToolResult flooded = runTool(monitor);
    const ToolResult interrupted = runTool({"-p", flood.slavePath(), "monitor"}, 3.0);
    flood.stop();
    const double toolRatio = double(flooded.peakKb) / double(idle.peakKb);
    const double late = flooded.seconds - monitorSeconds;
    std::printf("(b) bildwartctl monitor --duration %d:\n", monitorSeconds);
    std::printf("    idle peak %ld kB, flooded peak %ld kB (%.2f x, goal <= %.1f)\n", idle.peakKb,
                flooded.peakKb, toolRatio, memoryGoal);
    std::printf("    flooded run took %.2f s (%.2f s late, goal <= %.1f), exit %d\n",
                flooded.seconds, late, lateGoalSeconds, flooded.status);
    std::printf("    SIGINT under the flood: ended after %.2f s (goal <= %.1f), exit %d\n",
                interrupted.seconds, lateGoalSeconds, interrupted.status);

    const bool met = windowRatio <= memoryGoal && window.longestGapMs <= gapGoalMs &&
                     toolRatio <= memoryGoal && late <= lateGoalSeconds &&
                     interrupted.seconds <= lateGoalSeconds && flooded.status == 0;
    std::printf("%s\n", met ? "goals met" : "GOALS MISSED");
    return met ? 0 : 1;
}

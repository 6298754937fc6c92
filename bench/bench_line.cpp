// Round trips through the simulator's pseudo-terminal: what the controller adds on top
// of the raw line, for SMART commands and for loopback packets, measured in one run.
// Also counts how often a connected, idle controller wakes up.
#include "SimulatorThread.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineTester.h"
#include "controller/PortList.h"
#include "discovery/PortScanner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class NoPorts : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return {}; }
    QList<UnboundAdapter> scanAdapters() override { return {}; }
};

struct Bench {
    std::unique_ptr<DisplayController> controller;

    explicit Bench(const QString& device)
    {
        ControllerOptions options;
        options.connectAtStartup = false;
        options.watchHotplug = false;
        options.scanner = std::make_shared<NoPorts>();
        ControllerSettings stored;
        stored.serial.interCommandDelay = 0;
        stored.pollingEnabled = false;
        controller = std::make_unique<DisplayController>(stored, options);
        controller->ports().select(device);
        controller->connectLine();
    }

    bool idle() const { return controller->pump().isIdle(); }

    void waitUntil(const std::function<bool()>& done)
    {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&controller->pump(), &CommandPump::queueChanged, &loop, [&] {
            if (done())
                loop.quit();
        });
        QObject::connect(&controller->tester(), &LineTester::loopbackChanged, &loop, [&] {
            if (done())
                loop.quit();
        });
        if (!done())
            loop.exec();
    }
};

// Opens the simulator's slave like a terminal program would, without the controller.
int openRaw(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios attributes{};
    tcgetattr(fd, &attributes);
    cfmakeraw(&attributes);
    tcsetattr(fd, TCSANOW, &attributes);
    return fd;
}

// Writes `request` and reads until `complete` says the answer is whole.
double rawRoundTrip(int fd, const QByteArray& request,
                    const std::function<bool(const QByteArray&)>& complete)
{
    const auto start = Clock::now();
    (void)!::write(fd, request.constData(), size_t(request.size()));
    QByteArray answer;
    char buffer[512];
    while (!complete(answer)) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 1000);
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Round trips have outliers, so medians are compared. The controller's time is the
// iteration time; raw and controller medians and their ratio are counters.
class Pair {
public:
    void add(benchmark::State& state, double raw, double controller)
    {
        state.SetIterationTime(controller);
        m_raw.push_back(raw);
        m_controller.push_back(controller);
    }
    void report(benchmark::State& state)
    {
        if (m_raw.empty())
            return;
        const double raw = median(m_raw);
        const double controller = median(m_controller);
        state.counters["raw_median_us"] = raw * 1e6;
        state.counters["controller_median_us"] = controller * 1e6;
        state.counters["ratio"] = controller / raw;
    }

private:
    static double median(std::vector<double>& values)
    {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    std::vector<double> m_raw;
    std::vector<double> m_controller;
};

// Each iteration one raw round trip, then one through the controller, against two
// simulators on one thread of their own (a display is another machine): taken in turns,
// both meet the same load of a shared machine, so their ratio holds where single runs
// vary by half.
void BM_CommandAgainstRaw(benchmark::State& state)
{
    SimulatorThread displays(2, false);
    const int fd = openRaw(displays.devicePaths().value(0));
    Bench bench(displays.devicePaths().value(1));
    bench.waitUntil([&] { return bench.idle(); }); // the start-up queries
    // One event loop for the whole run, each command sent when the last one ended: the
    // loop's own start and stop are not the controller's cost.
    Pair pair;
    QEventLoop loop;
    Clock::time_point start;
    double raw = 0;
    quint64 ticket = 0;
    const auto next = [&] {
        if (!state.KeepRunning()) {
            loop.quit();
            return;
        }
        raw = rawRoundTrip(fd, "get volume\r", [](const QByteArray& a) { return a.endsWith('>'); });
        start = Clock::now();
        ticket = bench.controller->pump().send("get volume");
    };
    QObject::connect(
        &bench.controller->pump(), &CommandPump::finished, &loop, [&](const CommandResult& result) {
            if (result.command.ticket != ticket)
                return;
            pair.add(state, raw, std::chrono::duration<double>(Clock::now() - start).count());
            next();
        });
    QMetaObject::invokeMethod(&loop, next, Qt::QueuedConnection);
    loop.exec();
    pair.report(state);
    ::close(fd);
}

// The controller's own measurement of each echo, woken by the data; in the middle of the
// controller's pause between packets, one raw round trip of the same packet.
void BM_LoopbackAgainstRaw(benchmark::State& state)
{
    SimulatorThread bridges(2, true);
    const int fd = openRaw(bridges.devicePaths().value(0));
    Bench bench(bridges.devicePaths().value(1));
    const QByteArray packet = LoopbackStats::packet(1, 32);
    LineTester& tester = bench.controller->tester();
    bench.controller->pump().setRawMode(true);
    tester.setLoopbackOptions({32, 0.02});
    tester.startLoopback();
    qint64 seen = 0;
    Pair pair;
    for (auto _ : state) {
        bench.waitUntil([&] { return tester.loopback().sent > seen; });
        seen = tester.loopback().sent;
        const double controller = tester.loopback().lastLatency.value_or(0);
        // Half the pause first, so the raw packet too starts from an idle line.
        QEventLoop pause;
        QTimer::singleShot(10, &pause, &QEventLoop::quit);
        pause.exec();
        const double raw = rawRoundTrip(
            fd, packet, [&](const QByteArray& a) { return a.size() >= packet.size(); });
        pair.add(state, raw, controller);
    }
    pair.report(state);
    tester.stopLoopback();
    state.counters["faulty"] = double(tester.loopback().faulty + tester.loopback().lost);
    ::close(fd);
}

// Wake-ups of a connected controller that has nothing to do, over ten seconds.
void BM_IdleWakeups(benchmark::State& state)
{
    Bench bench(SerialPortInfo::smartSimulatorPath);
    bench.waitUntil([&] { return bench.idle(); });
    struct Counter : QObject {
        int events = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Timer || event->type() == QEvent::MetaCall)
                ++events;
            return false;
        }
    } counter;
    for (auto _ : state) {
        QCoreApplication::instance()->installEventFilter(&counter);
        QEventLoop loop;
        QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::instance()->removeEventFilter(&counter);
    }
    // One of the counted events is the timer that ends the measurement.
    state.counters["wakeups_per_10s"] = double(counter.events - 1);
}

} // namespace

BENCHMARK(BM_CommandAgainstRaw)->UseManualTime()->Iterations(2000);
BENCHMARK(BM_LoopbackAgainstRaw)->UseManualTime()->Iterations(300);
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    // All threads on one processor: a round trip between two threads costs a lot more when
    // they happen to sit on different ones, and the scheduler's choice, not the code, would
    // decide the ratio of two runs. On one processor every cost of the controller shows.
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpu, &one);
                sched_setaffinity(0, sizeof one, &one);
                break;
            }
        }
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

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
#include <thread>
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

// Google Benchmark reports the mean; round trips have outliers, so the median is
// reported as a counter too (in microseconds).
class Samples {
public:
    void add(benchmark::State& state, double seconds)
    {
        state.SetIterationTime(seconds);
        m_values.push_back(seconds);
    }
    void report(benchmark::State& state)
    {
        if (m_values.empty())
            return;
        std::sort(m_values.begin(), m_values.end());
        state.counters["median_us"] = m_values[m_values.size() / 2] * 1e6;
        state.counters["max_us"] = m_values.back() * 1e6;
    }

private:
    std::vector<double> m_values;
};

void BM_RawCommandPingPong(benchmark::State& state)
{
    SimulatorThread simulator(1, false);
    const int fd = openRaw(simulator.devicePaths().value(0));
    Samples samples;
    for (auto _ : state)
        samples.add(state, rawRoundTrip(fd, "get volume\r",
                                        [](const QByteArray& a) { return a.endsWith('>'); }));
    samples.report(state);
    ::close(fd);
}

void BM_ControllerCommand(benchmark::State& state)
{
    // The simulator answers from a thread of its own, as the raw client's does: a display is
    // another machine.
    SimulatorThread display(1, false);
    Bench bench(display.devicePaths().value(0));
    bench.waitUntil([&] { return bench.idle(); }); // the start-up queries
    // One event loop for the whole run, each command sent when the last one ended: the
    // loop's own start and stop are not the controller's cost.
    Samples samples;
    QEventLoop loop;
    Clock::time_point start;
    quint64 ticket = 0;
    const auto next = [&] {
        if (!state.KeepRunning()) {
            loop.quit();
            return;
        }
        start = Clock::now();
        ticket = bench.controller->pump().send("get volume");
    };
    QObject::connect(
        &bench.controller->pump(), &CommandPump::finished, &loop, [&](const CommandResult& result) {
            if (result.command.ticket != ticket)
                return;
            samples.add(state, std::chrono::duration<double>(Clock::now() - start).count());
            next();
        });
    QMetaObject::invokeMethod(&loop, next, Qt::QueuedConnection);
    loop.exec();
    samples.report(state);
}

void BM_RawLoopbackPingPong(benchmark::State& state)
{
    SimulatorThread simulator(1, true);
    const int fd = openRaw(simulator.devicePaths().value(0));
    const QByteArray packet = LoopbackStats::packet(1, 32);
    Samples samples;
    for (auto _ : state) {
        samples.add(state, rawRoundTrip(fd, packet, [&](const QByteArray& a) {
                        return a.size() >= packet.size();
                    }));
        // The same pause as the controller's packets have between them, so both
        // start from an idle line and idle threads.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    samples.report(state);
    ::close(fd);
}

// The controller's own measurement of each echo, woken by the data.
void BM_ControllerLoopback(benchmark::State& state)
{
    SimulatorThread bridge(1, true);
    Bench bench(bridge.devicePaths().value(0));
    bench.controller->pump().setRawMode(true);
    bench.controller->tester().setLoopbackOptions({32, 0.02});
    bench.controller->tester().startLoopback();
    qint64 seen = 0;
    Samples samples;
    for (auto _ : state) {
        bench.waitUntil([&] { return bench.controller->tester().loopback().sent > seen; });
        seen = bench.controller->tester().loopback().sent;
        samples.add(state, bench.controller->tester().loopback().lastLatency.value_or(0));
    }
    samples.report(state);
    bench.controller->tester().stopLoopback();
    state.counters["faulty"] = double(bench.controller->tester().loopback().faulty +
                                      bench.controller->tester().loopback().lost);
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

BENCHMARK(BM_RawCommandPingPong)->UseManualTime()->Iterations(1000);
BENCHMARK(BM_ControllerCommand)->UseManualTime()->Iterations(1000);
BENCHMARK(BM_RawLoopbackPingPong)->UseManualTime()->Iterations(200);
BENCHMARK(BM_ControllerLoopback)->UseManualTime()->Iterations(200);
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

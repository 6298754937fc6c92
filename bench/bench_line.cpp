// Round trips through the simulator's pseudo-terminal: what the controller adds on top
// of the raw line, for SMART commands and for loopback packets, measured in one run.
// Also counts how often a connected, idle controller wakes up.
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineTester.h"
#include "controller/PortList.h"
#include "discovery/PortScanner.h"
#include "simulator/DisplaySimulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
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

    explicit Bench(const QString& simulatorPath)
    {
        ControllerOptions options;
        options.connectAtStartup = false;
        options.watchHotplug = false;
        options.scanner = std::make_shared<NoPorts>();
        ControllerSettings stored;
        stored.serial.interCommandDelay = 0;
        stored.pollingEnabled = false;
        controller = std::make_unique<DisplayController>(stored, options);
        controller->ports().select(simulatorPath);
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
    DisplaySimulator simulator(DisplaySeries::qx, false);
    simulator.start();
    const int fd = openRaw(simulator.devicePath());
    Samples samples;
    for (auto _ : state)
        samples.add(state, rawRoundTrip(fd, "get volume\r",
                                        [](const QByteArray& a) { return a.endsWith('>'); }));
    samples.report(state);
    ::close(fd);
}

void BM_ControllerCommand(benchmark::State& state)
{
    Bench bench(SerialPortInfo::smartSimulatorPath);
    bench.waitUntil([&] { return bench.idle(); }); // the start-up queries
    Samples samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        bench.controller->pump().send("get volume");
        bench.waitUntil([&] { return bench.idle(); });
        samples.add(state, std::chrono::duration<double>(Clock::now() - start).count());
    }
    samples.report(state);
}

void BM_RawLoopbackPingPong(benchmark::State& state)
{
    DisplaySimulator simulator(DisplaySeries::qx, true);
    simulator.start();
    const int fd = openRaw(simulator.devicePath());
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
    Bench bench(SerialPortInfo::loopbackSimulatorPath);
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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

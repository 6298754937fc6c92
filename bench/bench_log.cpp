// appendLog on a full log (every entry trims one) against appending to a short log:
// trimming at the cap must not cost O(n).
#include "controller/DisplayController.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

ControllerOptions quietOptions()
{
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    return options;
}

struct Fixture {
    QTemporaryDir dir;
    QSettings store{dir.filePath("bench.conf"), QSettings::IniFormat};
    DisplayController controller{store, quietOptions()};
};

const QByteArray chunk("volume=40\r\n>");

void BM_AppendToShortLog(benchmark::State& state)
{
    Fixture f;
    for (auto _ : state) {
        f.controller.appendLog(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk);
        if (f.controller.log().size() >= 1000) {
            state.PauseTiming();
            f.controller.clearLog();
            state.ResumeTiming();
        }
    }
}

void BM_AppendToFullLog(benchmark::State& state)
{
    Fixture f;
    for (int i = 0; i < LogBuffer::capacity; ++i)
        f.controller.appendLog(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk);
    for (auto _ : state)
        f.controller.appendLog(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk);
}

} // namespace

BENCHMARK(BM_AppendToShortLog);
BENCHMARK(BM_AppendToFullLog);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

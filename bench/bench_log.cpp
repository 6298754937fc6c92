// A received chunk logged on a full log (every entry trims one) against a short log:
// trimming at the cap must not cost O(n).
#include "PushedLine.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    PushedController pushed;
    DisplayController& controller = *pushed.controller;
    void receive(const QByteArray& bytes) { pushed.line->push(bytes); }
};

const QByteArray chunk("volume=40\r\n>");

void BM_AppendToShortLog(benchmark::State& state)
{
    Fixture f;
    for (auto _ : state) {
        f.receive(chunk);
        if (f.controller.log().entries().size() >= 1000) {
            state.PauseTiming();
            f.controller.log().clear();
            state.ResumeTiming();
        }
    }
}

void BM_AppendToFullLog(benchmark::State& state)
{
    Fixture f;
    for (int i = 0; i < LogBuffer::capacity; ++i)
        f.receive(chunk);
    for (auto _ : state)
        f.receive(chunk);
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

// Parser throughput on a realistic reply stream: a full status refresh as the
// display sends it, in the chunk sizes a USB adapter delivers.
#include "protocol/SmartParser.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray replyStream()
{
    QByteArray stream;
    const char* replies[] = {"modelnum=SBID-QX286",
                             "serialnum=SIM0000001",
                             "partnum=1033157 REV A",
                             "fwversion=1.07.0021",
                             "powerstate=on",
                             "input=hdmi1",
                             "volume=30",
                             "mute=off",
                             "micmute=off",
                             "brightness=80",
                             "videofreeze=off",
                             "screenshade=off",
                             "statereporting=off",
                             "#volume=31",
                             "invalid cmd"};
    for (int round = 0; round < 20; ++round) {
        for (const char* reply : replies)
            stream += QByteArray("\r\n") + reply + "\r\n>";
    }
    return stream;
}

void BM_ParseReplies(benchmark::State& state)
{
    const QByteArray stream = replyStream();
    const auto chunkSize = qsizetype(state.range(0));
    std::size_t events = 0;
    for (auto _ : state) {
        SmartParser parser;
        for (qsizetype offset = 0; offset < stream.size(); offset += chunkSize)
            events += std::size_t(parser.feed(stream.mid(offset, chunkSize)).size());
    }
    benchmark::DoNotOptimize(events);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * stream.size());
}

} // namespace

BENCHMARK(BM_ParseReplies)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK_MAIN();

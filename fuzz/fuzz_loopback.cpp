// The loopback verdict agrees with a plain comparison of what was sent and what came
// back, and recording it keeps the counters consistent.
#include "FuzzCheck.h"
#include "linetest/LoopbackStats.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype cut = qsizetype(data[0]) % qsizetype(size);
    const QByteArray all(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QByteArray sent = all.first(std::min(cut, all.size()));
    const QByteArray received = all.sliced(std::min(cut, all.size()));

    using Kind = LoopbackStats::Result::Kind;
    const LoopbackStats::Result result = LoopbackStats::evaluate(sent, received);
    switch (result.kind()) {
    case Kind::ok:
        require(sent == received, "ok means identical");
        break;
    case Kind::lost:
        require(received.isEmpty(), "lost means nothing came back");
        break;
    case Kind::incomplete:
        require(!received.isEmpty() && sent.startsWith(received) && received.size() < sent.size(),
                "incomplete is a true prefix");
        break;
    case Kind::extra:
        require(received.startsWith(sent) && received.size() > sent.size(),
                "extra extends the packet");
        break;
    case Kind::display:
        require(received != sent && received.toLower().contains("invalid cmd"),
                "a display's refusal is no echo");
        break;
    case Kind::corrupt:
        require(result.index() < std::min(sent.size(), received.size()) &&
                    sent[result.index()] != received[result.index()] &&
                    sent.first(result.index()) == received.first(result.index()),
                "corrupt points at the first differing byte");
        break;
    }

    LoopbackStats stats;
    stats.record(result, 0.01);
    require(stats.sent == 1 && stats.ok + stats.faulty + stats.lost == 1,
            "one packet counted once");
    require(stats.lastLatency.has_value() == (result.kind() == Kind::ok), "latency only when ok");
    return 0;
}

#include "linetest/PendingEcho.h"

#include <algorithm>

namespace {

// A slow or busy line gets this factor on its pure line time, plus a fixed slack for the
// adapter's latency.
constexpr double echoTimeFactor = 3.0;
constexpr double echoSlackSeconds = 0.2;
constexpr double minimumEchoWaitSeconds = 0.3;
// Bits on the line per byte with start and stop bit (the estimate behind the deadline).
constexpr double bitsPerByte = 10.0;

} // namespace

double PendingEcho::waitSeconds(qsizetype size, qint64 baudRate)
{
    const double baud = double(std::max<qint64>(baudRate, 1));
    return std::max(double(size) * bitsPerByte / baud * echoTimeFactor + echoSlackSeconds,
                    minimumEchoWaitSeconds);
}

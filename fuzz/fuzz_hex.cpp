// The hex grammar: whatever it accepts is non-empty and survives a round trip
// through its own rendering.
#include "FuzzCheck.h"
#include "protocol/HexBytes.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto bytes = parseHexBytes(text);
    if (!bytes)
        return 0;
    require(!bytes->isEmpty(), "accepted input gives bytes");
    const auto again = parseHexBytes(hexText(*bytes));
    require(again && *again == *bytes, "rendering parses back to the same bytes");
    return 0;
}

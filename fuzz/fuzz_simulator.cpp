// The simulated display: every answer ends with the prompt, and volume and
// brightness stay whole numbers within 0…100 whatever is sent.
#include "FuzzCheck.h"
#include "simulator/SimulatedDisplay.h"

#include <cstdint>

namespace {

void requireLevel(const SimulatedDisplay& display, const char* name)
{
    bool ok = false;
    const int value = display.state().value(QString::fromLatin1(name)).toInt(&ok);
    require(ok && value >= 0 && value <= 100, "levels stay within 0…100");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    SimulatedDisplay display(data[0] % 2 ? DisplaySeries::rx : DisplaySeries::qx);
    const auto answers = display.receive(
        QByteArrayView(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    for (const QByteArray& answer : answers)
        require(answer.endsWith('>'), "every answer ends with the prompt");
    require(display.line().size() < SimulatedDisplay::maxLineLength, "line stays bounded");
    requireLevel(display, "volume");
    requireLevel(display, "brightness");
    return 0;
}

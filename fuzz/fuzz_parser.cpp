// The reply parser: the same bytes give the same events however they are split into
// chunks, and no unfinished line outgrows the bound.
#include "FuzzCheck.h"
#include "protocol/SmartParser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the chunk length of the second pass.
    const qsizetype chunk = 1 + data[0] % 37;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    SmartParser whole;
    const QList<SmartEvent> expected = whole.feed(bytes);

    SmartParser pieces;
    QList<SmartEvent> events;
    for (qsizetype offset = 0; offset < bytes.size(); offset += chunk) {
        events += pieces.feed(bytes.mid(offset, chunk));
        require(pieces.pending().size() < SmartParser::maxLineLength, "pending stays bounded");
    }
    require(events == expected, "events independent of the chunk split");
    require(pieces.pending() == whole.pending(), "same unfinished line");

    for (const SmartEvent& event : events) {
        if (event.kind == SmartEvent::Kind::value || event.kind == SmartEvent::Kind::async) {
            require(!event.name.isEmpty() && !event.name.contains(u' '), "names have no blanks");
            require(event.name == event.name.toLower(), "names are lower case");
        }
        if (event.kind == SmartEvent::Kind::text)
            require(!event.line.isEmpty(), "text lines are not empty");
    }
    return 0;
}

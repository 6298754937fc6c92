// The address grammar, fed what a user types or a stored file holds: every input parses
// to an address whose one spelling parses back to the same address, or is refused with a
// sentence that names what was given.
#include "FuzzCheck.h"
#include "line/LineAddress.h"
#include "line/PathBytes.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Decoded as a device path would be: byte for byte.
    const QString text =
        decodePath(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const auto parsed = LineAddress::parse(text);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        require(!error->isEmpty(), "a refusal says why");
        return 0;
    }
    const LineAddress& address = std::get<LineAddress>(parsed);
    const auto again = LineAddress::parse(address.text());
    require(std::holds_alternative<LineAddress>(again), "an address's spelling parses");
    require(std::get<LineAddress>(again) == address, "and gives the same address");
    if (address.isNetwork())
        require(address.network().port > 0 && !address.network().host.isEmpty(),
                "a network address has a host and a port");
    return 0;
}

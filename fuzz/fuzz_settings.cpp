// The stored serial settings: a record that decodes encodes again to an equal record,
// and decoding never yields a value outside the enumerations.
#include "FuzzCheck.h"
#include "line/SerialSettings.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto settings = SerialSettings::fromJson(json);
    if (!settings)
        return 0;
    require(settings->baudRate >= 0, "no negative rate");
    require(allCases(SerialSettings::DataBits{}).contains(settings->dataBits), "valid data bits");
    const auto encoded = settings->toJson();
    require(encoded.has_value(), "a decoded record encodes");
    const auto decoded = SerialSettings::fromJson(*encoded);
    require(decoded && *decoded == *settings, "encoding round trip");
    return 0;
}

#include "controller/SystemLines.h"

#include "line/network/NetworkLine.h"
#include "line/tty/SerialPort.h"

std::unique_ptr<Line> makeSystemLine(const QString& device, const SerialSettings& settings)
{
    if (const auto address = NetworkAddress::parse(device))
        return std::make_unique<NetworkLine>(*address, device, settings);
    return std::make_unique<SerialPort>(device, settings);
}

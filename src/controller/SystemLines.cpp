#include "controller/SystemLines.h"

#include "line/network/NetworkLine.h"
#include "line/tty/SerialPort.h"
#include "simulator/SimulatorLine.h"

std::unique_ptr<Line> makeSystemLine(const LineAddress& address, const SerialSettings& settings,
                                     DisplaySeries series)
{
    switch (address.kind()) {
    case LineAddress::Kind::network:
        return std::make_unique<NetworkLine>(address.network(), address.text(), settings);
    case LineAddress::Kind::simulator:
        return std::make_unique<SimulatorLine>(
            series, address.simulatorKind() == LineAddress::Simulator::loopback, settings);
    case LineAddress::Kind::device:
        break;
    }
    return std::make_unique<SerialPort>(address.path(), settings);
}

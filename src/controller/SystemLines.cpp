#include "controller/SystemLines.h"

#include "line/network/NetworkLine.h"
#include "line/network/TcpLine.h"
#include "line/tty/SerialPort.h"
#include "simulator/SimulatorLine.h"

std::unique_ptr<Line> makeSystemLine(const LineAddress& address, const SerialSettings& settings,
                                     DisplaySeries series)
{
    switch (address.kind()) {
    case LineAddress::Kind::network:
        // Raw TCP needs nothing but a socket; RFC 2217's Telnet options come from libgensio.
        if (address.network().kind == NetworkAddress::Kind::rawTcp)
            return std::make_unique<TcpLine>(address.network(), address.text());
        return std::make_unique<NetworkLine>(address.network(), address.text(), settings);
    case LineAddress::Kind::simulator:
        return std::make_unique<SimulatorLine>(
            series, address.simulatorKind() == LineAddress::Simulator::loopback, settings);
    case LineAddress::Kind::device:
        break;
    }
    return std::make_unique<SerialPort>(address.path(), settings);
}

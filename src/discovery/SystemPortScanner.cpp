#include "discovery/SystemPortScanner.h"

QList<SerialPortInfo> SystemPortScanner::scanPorts()
{
    return SerialPortInfo::scan();
}

QList<UnboundAdapter> SystemPortScanner::scanAdapters()
{
    return UnboundAdapter::scan();
}

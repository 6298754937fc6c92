#pragma once

#include "discovery/PortScanner.h"

// The port lists of this computer's device tree.
class SystemPortScanner final : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override;
    QList<UnboundAdapter> scanAdapters() override;
};

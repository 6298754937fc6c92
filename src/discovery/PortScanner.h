#pragma once

#include "discovery/SerialPortInfo.h"
#include "discovery/UnboundAdapter.h"

#include <QList>

// Where the controller gets its port lists from. The system's device tree in the
// application; a scripted list in tests, so ports can appear and vanish on cue.
class PortScanner {
public:
    virtual ~PortScanner() = default;
    virtual QList<SerialPortInfo> scanPorts() = 0;
    virtual QList<UnboundAdapter> scanAdapters() = 0;
};

// For a run that opens only the ports it is given and never asks the system for the list.
class NoPortScanner final : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return {}; }
    QList<UnboundAdapter> scanAdapters() override { return {}; }
};

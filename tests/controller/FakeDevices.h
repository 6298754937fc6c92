#pragma once

#include "serial/HotplugSource.h"
#include "serial/PortScanner.h"

// Ports that the test makes appear and vanish.
class TestPortScanner : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return ports; }
    QList<UnboundAdapter> scanAdapters() override { return adapters; }

    void list(const QString& path)
    {
        ports.append(
            {path, QStringLiteral("Testadapter"), path + QStringLiteral(" \u00B7 USB"), false});
    }
    void unlist(const QString& path)
    {
        ports.removeIf([&](const SerialPortInfo& port) { return port.path == path; });
    }

    QList<SerialPortInfo> ports;
    QList<UnboundAdapter> adapters;
};

// Hot-plug events on cue.
class TestHotplug : public HotplugSource {
public:
    void start() override { ++starts; }
    void fire()
    {
        if (onChange)
            onChange();
    }
    int starts = 0;
};

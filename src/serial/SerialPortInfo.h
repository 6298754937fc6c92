#pragma once

#include <QList>
#include <QString>

// One selectable port of the sidebar. Its identity is the path.
struct SerialPortInfo {
    QString path;
    QString name;
    QString detail;
    bool isSimulator = false;

    bool operator==(const SerialPortInfo&) const = default;

    // The hardware ports of this computer, adapters first; never fails.
    static QList<SerialPortInfo> scan();

    bool looksLikeUSBAdapter() const;
    // Ports that belong to the computer itself and are never the adapter.
    bool isInternalPort() const;

    // The two built-in simulator entries, listed after the real ports.
    static const QString smartSimulatorPath;
    static const QString loopbackSimulatorPath;
    static bool isSimulatorPath(const QString& path);
    static QList<SerialPortInfo> simulatorEntries();
};

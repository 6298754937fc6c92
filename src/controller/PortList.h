#pragma once

#include "discovery/SerialPortInfo.h"
#include "discovery/UnboundAdapter.h"

#include <QObject>
#include <QStringList>
#include <memory>

class HotplugSource;
class PortScanner;

// The ports to choose from (adapters, remembered network addresses, the simulators),
// the adapters without a port, and the one the user chose.
class PortList : public QObject {
    Q_OBJECT

public:
    // Network addresses remembered for the list.
    static constexpr qsizetype maxRecentNetworkAddresses = 10;

    PortList(std::shared_ptr<PortScanner> scanner, QStringList recentNetworkAddresses,
             QObject* parent = nullptr);
    ~PortList() override;

    const QList<SerialPortInfo>& ports() const { return m_ports; }
    const QList<UnboundAdapter>& unboundAdapters() const { return m_unboundAdapters; }
    // Rescans; the selection stays while it is listed (the rules of SerialPortInfo).
    void refresh();
    // Whether `path` can be tried now: a listed port, or a network address (only
    // connecting tells whether it answers).
    bool isListed(const QString& path) const;

    const QString& selectedPath() const { return m_selectedPath; }
    void select(const QString& path);

    // Newest first; listed after the real ports.
    const QStringList& recentNetworkAddresses() const { return m_recent; }
    // Puts a network address first among the remembered ones and selects it. False for
    // any other text.
    bool rememberNetworkAddress(const QString& address);
    // Takes a remembered address off the list; the selection stays until another is made.
    void forgetNetworkAddress(const QString& address);

    // Hot-plug events start a rescan and then hotplugged(); without a start, none come.
    void watchHotplug(std::shared_ptr<HotplugSource> source);

signals:
    void portsChanged(); // the ports or the adapters without a port
    void selectedPathChanged();
    void recentNetworkAddressesChanged();
    void hotplugged();

private:
    QList<SerialPortInfo> networkEntries() const;

    std::shared_ptr<PortScanner> m_scanner;
    std::shared_ptr<HotplugSource> m_hotplug;
    QList<SerialPortInfo> m_ports;
    QList<UnboundAdapter> m_unboundAdapters;
    QString m_selectedPath;
    QStringList m_recent;
};

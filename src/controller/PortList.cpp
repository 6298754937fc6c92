#include "controller/PortList.h"

#include "discovery/HotplugSource.h"
#include "discovery/PortScanner.h"
#include "line/LineAddress.h"

#include <QPointer>

PortList::PortList(std::shared_ptr<PortScanner> scanner, QStringList recentNetworkAddresses,
                   QObject* parent)
    : QObject(parent)
    , m_scanner(std::move(scanner))
{
    for (const QString& text : recentNetworkAddresses) {
        const LineAddress address = LineAddress::fromText(text);
        if (address.isNetwork() && !m_recent.contains(address.text()) &&
            m_recent.size() < maxRecentNetworkAddresses)
            m_recent.append(address.text());
    }
}

PortList::~PortList()
{
    if (m_hotplug)
        m_hotplug->onChange = nullptr;
}

void PortList::watchHotplug(std::shared_ptr<HotplugSource> source)
{
    m_hotplug = std::move(source);
    m_hotplug->onChange = [self = QPointer(this)] {
        if (!self)
            return;
        self->refresh();
        emit self->hotplugged();
    };
    m_hotplug->start();
}

QList<SerialPortInfo> PortList::networkEntries() const
{
    QList<SerialPortInfo> entries;
    for (const QString& text : m_recent) {
        const LineAddress address = LineAddress::fromText(text);
        entries.append({text, text,
                        address.network().kind == NetworkAddress::Kind::rfc2217
                            ? tr("Netzwerk · RFC 2217 (Bildwart stellt die Leitung ein)")
                            : tr("Netzwerk · TCP (Leitung am Gateway eingestellt)"),
                        false});
    }
    return entries;
}

void PortList::refresh()
{
    QList<SerialPortInfo> ports = m_scanner->scanPorts();
    ports += networkEntries();
    ports += SerialPortInfo::simulatorEntries();
    QList<UnboundAdapter> adapters = m_scanner->scanAdapters();
    if (ports != m_ports || adapters != m_unboundAdapters) {
        m_ports = std::move(ports);
        m_unboundAdapters = std::move(adapters);
        emit portsChanged();
    }
    select(SerialPortInfo::repairSelection(m_selectedPath, m_ports));
}

bool PortList::isListed(const QString& path) const
{
    if (LineAddress::fromText(path).isNetwork())
        return true;
    return std::any_of(m_ports.begin(), m_ports.end(),
                       [&](const SerialPortInfo& port) { return port.path == path; });
}

void PortList::select(const QString& path)
{
    if (path == m_selectedPath)
        return;
    m_selectedPath = path;
    emit selectedPathChanged();
}

void PortList::forgetNetworkAddress(const QString& address)
{
    if (!m_recent.removeAll(address))
        return;
    emit recentNetworkAddressesChanged();
    refresh();
}

bool PortList::rememberNetworkAddress(const QString& address)
{
    const LineAddress parsed = LineAddress::fromText(address);
    if (!parsed.isNetwork())
        return false;
    // In the address's one spelling: "10.1.2.3:4001" and "tcp://10.1.2.3:4001" are one.
    const QString text = parsed.text();
    QStringList recent = m_recent;
    recent.removeAll(text);
    recent.prepend(text);
    recent = recent.first(std::min(recent.size(), maxRecentNetworkAddresses));
    if (recent != m_recent) {
        m_recent = recent;
        emit recentNetworkAddressesChanged();
    }
    refresh();
    select(text);
    return true;
}

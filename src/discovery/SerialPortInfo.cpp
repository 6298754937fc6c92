// The port list: classification and selection rules, and the scan of the kernel's
// tty devices through udev. The scan opens no device: opening a port raises DTR and
// RTS, which resets some attached devices.
#include "discovery/SerialPortInfo.h"

#include "line/LineAddress.h"

#include "discovery/StableName.h"
#include "discovery/Udev.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <libudev.h>

const QString SerialPortInfo::smartSimulatorPath =
    LineAddress::simulator(LineAddress::Simulator::smart).text();
const QString SerialPortInfo::loopbackSimulatorPath =
    LineAddress::simulator(LineAddress::Simulator::loopback).text();

namespace {

// The legacy 8250 ports that the kernel creates as ttyS0…31 on every PC, with or
// without a chip behind them. Ports the firmware declares (PNP, PCI cards) have
// other drivers and are listed as they are.
bool isBuiltInUart(udev_device* tty)
{
    for (udev_device* device = udev_device_get_parent(tty); device;
         device = udev_device_get_parent(device)) {
        if (Udev::driver(device) == QLatin1String("serial8250"))
            return true;
    }
    return false;
}

// Whether a built-in UART port is listed, from the chip type the kernel found when it
// probed the port (sysfs "type", a PORT_* number; 0 is PORT_UNKNOWN: no chip answered).
bool hasChip(udev_device* tty)
{
    bool ok = false;
    const int type = Udev::sysattr(tty, "type").toInt(&ok);
    return ok && type > 0;
}

QStringList linksOf(udev_device* tty)
{
    return Udev::property(tty, "DEVLINKS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// What the detail line says when the adapter's by-id name is not its own.
QString namingNote(const StableName& name)
{
    if (name.sharedById.isEmpty())
        return {};
    return StableName::isByPath(name.path)
               ? QCoreApplication::translate("SerialPortInfo",
                                             " · Kennung doppelt, nach USB-Buchse benannt")
               : QCoreApplication::translate("SerialPortInfo",
                                             " · Kennung doppelt, nach Gerätedatei benannt");
}

SerialPortInfo describe(udev_device* tty, const StableName& name)
{
    SerialPortInfo port;
    port.path = name.path;
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    const QString product = usb ? Udev::sysattr(usb, "product") : QString();
    if (product.isEmpty()) {
        port.name = Udev::sysname(tty);
        port.detail = port.path + namingNote(name);
        return port;
    }
    const QString vendor = Udev::sysattr(usb, "manufacturer");
    port.name = product;
    port.detail = (vendor.isEmpty() ? product : vendor + QLatin1Char(' ') + product) +
                  QStringLiteral(" · USB") + namingNote(name);
    return port;
}

} // namespace

QList<SerialPortInfo> SerialPortInfo::scan()
{
    const Udev::Context context = Udev::newContext();
    struct Candidate {
        udev_device* tty;
        QString node;
        QStringList links;
    };
    const std::vector<Udev::Device> ttys = Udev::devices(context.get(), "tty");
    QList<Candidate> candidates;
    for (const Udev::Device& tty : ttys) {
        const QString node = QString::fromUtf8(udev_device_get_devnode(tty.get()));
        // Virtual consoles and pseudo-terminals have no parent device.
        if (node.isEmpty() || !udev_device_get_parent(tty.get()))
            continue;
        if (isBuiltInUart(tty.get()) && !hasChip(tty.get()))
            continue;
        candidates.append({tty.get(), node, linksOf(tty.get())});
    }
    QList<SerialPortInfo> ports;
    for (const Candidate& candidate : candidates) {
        QSet<QString> claimedElsewhere;
        for (const Candidate& other : candidates) {
            if (other.tty == candidate.tty)
                continue;
            for (const QString& link : other.links) {
                if (StableName::isById(link))
                    claimedElsewhere.insert(link);
            }
        }
        ports.append(describe(
            candidate.tty, StableName::choose(candidate.node, candidate.links, claimedElsewhere)));
    }
    return sorted(ports);
}

bool SerialPortInfo::looksLikeUSBAdapter() const
{
    static const QStringList pathMarks = {
        // macOS callout names of the common adapter drivers
        QStringLiteral("usbserial"),
        QStringLiteral("usbmodem"),
        QStringLiteral("wchusbserial"),
        QStringLiteral("slab"),
        QStringLiteral("pl2303"),
        // Linux: usb-serial and CDC ACM nodes, and udev's stable USB names
        QStringLiteral("ttyusb"),
        QStringLiteral("ttyacm"),
        QStringLiteral("/serial/by-id/usb-"),
    };
    const QString lowerPath = path.toLower();
    return std::any_of(pathMarks.begin(), pathMarks.end(),
                       [&](const QString& mark) { return lowerPath.contains(mark); }) ||
           detail.contains(QStringLiteral("USB"));
}

bool SerialPortInfo::isInternalPort() const
{
    static const QStringList pathMarks = {
        // macOS
        QStringLiteral("Bluetooth-Incoming-Port"),
        QStringLiteral("debug-console"),
        // Linux: Bluetooth serial, the kernel's printk tty, consoles, USB gadget ports
        QStringLiteral("rfcomm"),
        QStringLiteral("ttyprintk"),
        QStringLiteral("console"),
        QStringLiteral("ttyGS"),
    };
    return std::any_of(pathMarks.begin(), pathMarks.end(),
                       [&](const QString& mark) { return path.contains(mark); });
}

QString SerialPortInfo::internalPortWarning()
{
    return QCoreApplication::translate(
        "SerialPortInfo", "Das ist ein interner Port des Rechners, nicht der Wandler.");
}

QString SerialPortInfo::noAdapterText()
{
    return QCoreApplication::translate("SerialPortInfo", "Kein USB-Seriell-Wandler gefunden");
}

QList<SerialPortInfo> SerialPortInfo::sorted(QList<SerialPortInfo> ports)
{
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortInfo& a, const SerialPortInfo& b) {
                         const bool aAdapter = a.looksLikeUSBAdapter();
                         const bool bAdapter = b.looksLikeUSBAdapter();
                         if (aAdapter != bAdapter)
                             return aAdapter;
                         return a.path < b.path;
                     });
    return ports;
}

QString SerialPortInfo::repairSelection(const QString& selected, const QList<SerialPortInfo>& ports)
{
    const auto adapter = std::find_if(ports.begin(), ports.end(), [](const SerialPortInfo& port) {
        return port.looksLikeUSBAdapter();
    });
    const auto current = std::find_if(ports.begin(), ports.end(), [&](const SerialPortInfo& port) {
        return port.path == selected;
    });
    if (!selected.isEmpty() && current != ports.end() &&
        (!current->isInternalPort() || adapter == ports.end()))
        return selected;
    return adapter == ports.end() ? QString() : adapter->path;
}

QList<SerialPortInfo> SerialPortInfo::simulatorEntries()
{
    return {
        {smartSimulatorPath,
         QCoreApplication::translate("SerialPortInfo", "Simulator (virtuelles SMART-Display)"),
         QCoreApplication::translate("SerialPortInfo", "Ohne Hardware – antwortet wie ein QX/RX"),
         true},
        {loopbackSimulatorPath,
         QCoreApplication::translate("SerialPortInfo", "Simulator (Brückenstecker)"),
         QCoreApplication::translate("SerialPortInfo",
                                     "Ohne Hardware – schickt jedes Byte zurück wie Pin 2↔3"),
         true},
    };
}

size_t qHash(const SerialPortInfo& port, size_t seed) noexcept
{
    return qHashMulti(seed, port.path, port.name, port.detail, port.isSimulator);
}

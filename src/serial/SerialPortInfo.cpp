// The port list: classification and selection rules, and the scan of the kernel's
// tty devices through udev. The open() and TIOCGSERIAL below are Linux-only; they
// ask built-in UART ports whether a chip is behind them.
#include "serial/SerialPortInfo.h"

#include "serial/Udev.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <libudev.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

const QString SerialPortInfo::smartSimulatorPath = QStringLiteral("simulator://smart");
const QString SerialPortInfo::loopbackSimulatorPath = QStringLiteral("simulator://loopback");

namespace {

// udev's stable name for a USB-serial port: it survives the adapter coming back as
// ttyUSB1 after a contact break, so reconnecting finds it again.
const QString byIdPrefix = QStringLiteral("/dev/serial/by-id/");

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

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

bool uartHasHardware(const QString& node)
{
    // Non-blocking so that a port waiting for carrier cannot stall the scan.
    const FileDescriptor fd(
        ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return SerialPortInfo::keepsBuiltInUart(errno, std::nullopt);
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0)
        return SerialPortInfo::keepsBuiltInUart(0, std::nullopt);
    return SerialPortInfo::keepsBuiltInUart(0, info.type);
}

QString stablePath(udev_device* tty, const QString& node)
{
    const QStringList links =
        Udev::property(tty, "DEVLINKS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& link : links) {
        // udev may list a link that its rules have not created (yet), or that is gone.
        if (link.startsWith(byIdPrefix) && QFileInfo::exists(link))
            return link;
    }
    return node;
}

SerialPortInfo describe(udev_device* tty, const QString& node)
{
    SerialPortInfo port;
    port.path = stablePath(tty, node);
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    const QString product = usb ? Udev::sysattr(usb, "product") : QString();
    if (product.isEmpty()) {
        port.name = Udev::sysname(tty);
        port.detail = port.path;
        return port;
    }
    const QString vendor = Udev::sysattr(usb, "manufacturer");
    port.name = product;
    port.detail = (vendor.isEmpty() ? product : vendor + QLatin1Char(' ') + product) +
                  QStringLiteral(" \u00B7 USB");
    return port;
}

} // namespace

QList<SerialPortInfo> SerialPortInfo::scan()
{
    const Udev::Context context = Udev::newContext();
    QList<SerialPortInfo> ports;
    for (const Udev::Device& tty : Udev::devices(context.get(), "tty")) {
        const QString node = QString::fromUtf8(udev_device_get_devnode(tty.get()));
        // Virtual consoles and pseudo-terminals have no parent device.
        if (node.isEmpty() || !udev_device_get_parent(tty.get()))
            continue;
        if (isBuiltInUart(tty.get()) && !uartHasHardware(node))
            continue;
        ports.append(describe(tty.get(), node));
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
    return QStringLiteral("Das ist ein interner Port des Rechners, nicht der Wandler.");
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

bool SerialPortInfo::keepsBuiltInUart(int openError, std::optional<int> uartType)
{
    // Busy means a program (this one, connected to it) holds it exclusively, so there
    // is hardware; dropping it would also drop the user's selection on every rescan.
    if (openError == EBUSY)
        return true;
    return openError == 0 && uartType && *uartType != PORT_UNKNOWN;
}

bool SerialPortInfo::isSimulatorPath(const QString& path)
{
    return path.startsWith(QStringLiteral("simulator://"));
}

QList<SerialPortInfo> SerialPortInfo::simulatorEntries()
{
    return {
        {smartSimulatorPath, QStringLiteral("Simulator (virtuelles SMART-Display)"),
         QStringLiteral("Ohne Hardware \u2013 antwortet wie ein QX/RX"), true},
        {loopbackSimulatorPath, QStringLiteral("Simulator (Br\u00FCckenstecker)"),
         QStringLiteral("Ohne Hardware \u2013 schickt jedes Byte zur\u00FCck wie Pin 2\u21943"),
         true},
    };
}

size_t qHash(const SerialPortInfo& port, size_t seed) noexcept
{
    return qHashMulti(seed, port.path, port.name, port.detail, port.isSimulator);
}

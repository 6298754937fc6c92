// Adapters of known vendors that are plugged in but have no tty, read from the
// kernel's USB device tree through udev, and the advice shown for them.
#include "discovery/UnboundAdapter.h"

#include "discovery/Udev.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>
#include <libudev.h>

namespace {

struct Vendor {
    int id;
    const char* label; // nullptr: shown as the hex id
};

constexpr Vendor knownVendors[] = {
    {0x0403, "FTDI"},      {0x067B, "Prolific PL2303"}, {0x10C4, "Silicon Labs CP210x"},
    {0x1A86, "WCH CH34x"}, {0x0557, nullptr},           {0x2341, nullptr},
};

// Kernel drivers that turn a USB interface into a tty. While one of them holds the
// adapter its port is merely on its way; nothing else has taken the adapter.
bool isSerialDriver(const QString& driver)
{
    static const QSet<QString> drivers = {
        QStringLiteral("ftdi_sio"),    QStringLiteral("pl2303"),
        QStringLiteral("cp210x"),      QStringLiteral("ch341"),
        QStringLiteral("cdc_acm"),     QStringLiteral("usbserial_generic"),
        QStringLiteral("usbserial"),   QStringLiteral("usb_serial_simple"),
        QStringLiteral("option"),      QStringLiteral("qcserial"),
        QStringLiteral("f81232"),      QStringLiteral("f81534"),
        QStringLiteral("xr_serial"),   QStringLiteral("ark3116"),
        QStringLiteral("mct_u232"),    QStringLiteral("oti6858"),
        QStringLiteral("spcp8x5"),     QStringLiteral("ti_usb_3410_5052"),
        QStringLiteral("cypress_m8"),  QStringLiteral("mos7720"),
        QStringLiteral("mos7840"),     QStringLiteral("io_ti"),
        QStringLiteral("io_edgeport"), QStringLiteral("keyspan"),
        QStringLiteral("belkin_sa"),   QStringLiteral("digi_acceleport"),
    };
    return drivers.contains(driver);
}

// Drivers of the USB core itself; they never mean that someone took the adapter.
bool isSystemDriver(const QString& driver)
{
    return driver == QLatin1String("usb") || driver == QLatin1String("hub");
}

int numberAttribute(udev_device* device, const char* name, int base)
{
    bool ok = false;
    const int value = Udev::sysattr(device, name).toInt(&ok, base);
    return ok ? value : 0;
}

std::optional<QString> captureOf(udev* context, udev_device* device, const UsbfsHolder& usbfs)
{
    QStringList drivers;
    for (const Udev::Device& interface : Udev::devices(context, "usb", "usb_interface", device))
        drivers.append(Udev::driver(interface.get()));
    const std::optional<QString> driver = UnboundAdapter::capturingDriver(drivers);
    if (driver != QLatin1String("usbfs"))
        return driver;
    // usbfs only says that some program took the adapter; the advice names it.
    const int bus = numberAttribute(device, "busnum", 10);
    const int number = numberAttribute(device, "devnum", 10);
    if (bus <= 0 || number <= 0)
        return driver;
    return usbfs.holderOf(bus, number).value_or(*driver);
}

} // namespace

QString UnboundAdapter::identity() const
{
    return QStringLiteral("%1:%2:%3").arg(vendorID).arg(productID).arg(serial);
}

QString UnboundAdapter::vendorLabel() const
{
    const auto known = std::find_if(std::begin(knownVendors), std::end(knownVendors),
                                    [&](const Vendor& vendor) { return vendor.id == vendorID; });
    if (known != std::end(knownVendors) && known->label)
        return QString::fromLatin1(known->label);
    return QString::asprintf("%04X", static_cast<unsigned>(vendorID));
}

QString UnboundAdapter::title() const
{
    return name + QStringLiteral(" (") + vendorLabel() +
           (serial.isEmpty() ? QString() : QStringLiteral(" · ") + serial) + u')';
}

QString UnboundAdapter::headline() const
{
    return QCoreApplication::translate("UnboundAdapter", "%1 steckt, hat aber keinen Port")
        .arg(title());
}

QString UnboundAdapter::diagnosis() const
{
    if (capturedBy && capturedBy->startsWith(QLatin1String("prl")))
        return QCoreApplication::translate("UnboundAdapter",
                                           "Parallels hat den Wandler für eine VM übernommen. In "
                                           "Parallels: Geräte → USB & Bluetooth → „%1“ vom "
                                           "Windows-Gast trennen (bzw. „Mit Mac verbinden“). "
                                           "Danach „Neu suchen“.")
            .arg(name);
    if (capturedBy)
        return QCoreApplication::translate("UnboundAdapter",
                                           "Das Programm „%1“ belegt den Wandler direkt. Programm "
                                           "beenden oder Gerät dort freigeben, dann „Neu suchen“.")
            .arg(*capturedBy);
    return QCoreApplication::translate("UnboundAdapter",
                                       "Kein Treiber aktiv. %1: Wandler ab- und wieder anstecken; "
                                       "ggf. Hersteller-Treiber installieren und in den "
                                       "Systemeinstellungen erlauben.")
        .arg(vendorLabel());
}

const QSet<int>& UnboundAdapter::knownVendorIDs()
{
    static const QSet<int> ids = [] {
        QSet<int> result;
        for (const Vendor& vendor : knownVendors)
            result.insert(vendor.id);
        return result;
    }();
    return ids;
}

std::optional<QString> UnboundAdapter::capturingDriver(const QStringList& interfaceDrivers)
{
    if (std::any_of(interfaceDrivers.begin(), interfaceDrivers.end(), isSerialDriver))
        return std::nullopt;
    std::optional<QString> holder;
    for (const QString& driver : interfaceDrivers) {
        if (!driver.isEmpty() && !isSystemDriver(driver))
            holder = driver; // like the registry walk: a later holder replaces an earlier one
    }
    return holder;
}

QList<UnboundAdapter> UnboundAdapter::scan(const UsbfsHolder& usbfs)
{
    const Udev::Context context = Udev::newContext();

    // USB devices that already have a tty appear in the port list instead.
    QSet<QString> devicesWithPort;
    for (const Udev::Device& tty : Udev::devices(context.get(), "tty")) {
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device"))
            devicesWithPort.insert(Udev::syspath(usb));
    }

    QList<UnboundAdapter> adapters;
    for (const Udev::Device& device : Udev::devices(context.get(), "usb", "usb_device")) {
        bool ok = false;
        const int vendorID = Udev::sysattr(device.get(), "idVendor").toInt(&ok, 16);
        if (!ok || !knownVendorIDs().contains(vendorID) ||
            devicesWithPort.contains(Udev::syspath(device.get())))
            continue;
        UnboundAdapter adapter;
        adapter.name = Udev::sysattr(device.get(), "product");
        if (adapter.name.isEmpty())
            adapter.name = QCoreApplication::translate("UnboundAdapter", "USB-Seriell-Wandler");
        adapter.vendorID = vendorID;
        adapter.productID = numberAttribute(device.get(), "idProduct", 16);
        adapter.serial = Udev::sysattr(device.get(), "serial");
        adapter.capturedBy = captureOf(context.get(), device.get(), usbfs);
        adapters.append(adapter);
    }
    return adapters;
}

size_t qHash(const UnboundAdapter& adapter, size_t seed) noexcept
{
    return qHashMulti(seed, adapter.name, adapter.vendorID, adapter.productID, adapter.serial,
                      adapter.capturedBy.value_or(QString()), adapter.capturedBy.has_value());
}

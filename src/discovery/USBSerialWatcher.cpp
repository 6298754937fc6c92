// Hot-plug events from udev's netlink socket, read on the main thread's event loop,
// and from the device folders where no udev daemon sends any.
#include "discovery/USBSerialWatcher.h"

#include "discovery/DeviceDirectoryWatcher.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <libudev.h>

namespace {

// Ports and adapters appear, vanish, or gain or lose their driver (a virtual
// machine taking an adapter unbinds the serial driver). "change" and "move" events
// leave the port list as it is.
bool changesPortList(const char* action)
{
    for (const char* relevant : {"add", "remove", "bind", "unbind"}) {
        if (action && std::strcmp(action, relevant) == 0)
            return true;
    }
    return false;
}

// The udev daemon (systemd-udevd or eudev) listens on this socket while it runs;
// without it no event reaches udev's netlink group.
bool udevDaemonRuns()
{
    return QFileInfo::exists(QStringLiteral("/run/udev/control"));
}

} // namespace

USBSerialWatcher::USBSerialWatcher(DirectoryWatch directoryWatch, QString deviceRoot)
    : m_directoryWatch(directoryWatch)
    , m_deviceRoot(std::move(deviceRoot))
{
    m_monotonic.start();
}

USBSerialWatcher::~USBSerialWatcher() = default;

bool USBSerialWatcher::isWatching() const
{
    return m_notifier || (m_directories && m_directories->isWatching());
}

void USBSerialWatcher::start()
{
    if (!m_notifier)
        startMonitor();
    if (!m_watchesDirectories) {
        m_watchesDirectories = wantsDirectories();
        if (*m_watchesDirectories) {
            m_directories = std::make_unique<DeviceDirectoryWatcher>(m_deviceRoot);
            m_directories->onChange = [this] { report(); };
        }
    }
}

bool USBSerialWatcher::wantsDirectories() const
{
    switch (m_directoryWatch) {
    case DirectoryWatch::always:
        return true;
    case DirectoryWatch::never:
        return false;
    case DirectoryWatch::withoutUdevDaemon:
        break;
    }
    return !udevDaemonRuns();
}

void USBSerialWatcher::startMonitor()
{
    Udev::Context context = Udev::newContext();
    // "udev": events after udev has created the device nodes and links, so that a
    // rescan triggered by them finds the port under its stable name.
    Udev::Monitor monitor(context ? udev_monitor_new_from_netlink(context.get(), "udev") : nullptr);
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return;
    const int fd = udev_monitor_get_fd(monitor.get());
    if (fd < 0)
        return;

    m_context = std::move(context);
    m_monitor = std::move(monitor);
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { drain(); });
}

void USBSerialWatcher::drain()
{
    bool changed = false;
    for (;;) {
        errno = 0;
        const Udev::Device device(udev_monitor_receive_device(m_monitor.get()));
        if (!device) {
            // The socket overflowed during a burst of events: some are lost, so rescan.
            changed = changed || errno == ENOBUFS;
            break;
        }
        const char* action = udev_device_get_action(device.get());
        track(device.get(), action);
        changed = changesPortList(action) || changed;
    }
    if (changed)
        report();
}

void USBSerialWatcher::track(udev_device* device, const char* action)
{
    if (!action || qstrcmp(udev_device_get_subsystem(device), "tty") != 0)
        return;
    const QString syspath = Udev::syspath(device);
    const double now = double(m_monotonic.nsecsElapsed()) / 1e9;
    if (qstrcmp(action, "remove") == 0) {
        m_lifetimes.vanished(syspath, now);
        return;
    }
    udev_device* usb =
        qstrcmp(action, "add") == 0
            ? udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")
            : nullptr;
    bool vendorOk = false;
    bool productOk = false;
    const UsbId id{usb ? Udev::sysattr(usb, "idVendor").toInt(&vendorOk, 16) : 0,
                   usb ? Udev::sysattr(usb, "idProduct").toInt(&productOk, 16) : 0};
    if (vendorOk && productOk)
        m_lifetimes.appeared(syspath, id, now);
}

void USBSerialWatcher::report()
{
    if (onChange)
        onChange();
}

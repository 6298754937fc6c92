// Hot-plug events from udev's netlink socket, read on the main thread's event loop.
#include "serial/USBSerialWatcher.h"

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

} // namespace

USBSerialWatcher::USBSerialWatcher() = default;

USBSerialWatcher::~USBSerialWatcher() = default;

bool USBSerialWatcher::isWatching() const
{
    return m_notifier != nullptr;
}

void USBSerialWatcher::start()
{
    if (isWatching())
        return;
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
        changed = changesPortList(udev_device_get_action(device.get())) || changed;
    }
    if (changed && onChange)
        onChange();
}

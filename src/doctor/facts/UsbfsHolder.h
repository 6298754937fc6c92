#pragma once

#include <QString>
#include <optional>

// Finds the program that holds a USB device through usbfs, the kernel's door for
// USB drivers in user space (libusb): virtual-machine hosts passing the adapter to a
// guest, brltty grabbing CH34x adapters, vendor tools. The kernel names no owner;
// the only trace is the device's node /dev/bus/usb/BBB/DDD, open in that program.
class UsbfsHolder {
public:
    // The roots are "/proc" and "/dev" on a real system.
    explicit UsbfsHolder(QString procRoot = QStringLiteral("/proc"),
                         QString devRoot = QStringLiteral("/dev"));

    // The device node of USB device `device` on bus `bus`.
    QString nodePath(int bus, int device) const;

    // The command name of a process that has the device's node open. Absent when
    // none can be seen: other users' descriptors stay hidden without privileges.
    std::optional<QString> holderOf(int bus, int device) const;

private:
    QString m_procRoot;
    QString m_devRoot;
};

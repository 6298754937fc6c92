#include "discovery/Udev.h"

#include <libudev.h>

namespace Udev {

void Deleter::operator()(udev* context) const
{
    udev_unref(context);
}

void Deleter::operator()(udev_enumerate* enumerate) const
{
    udev_enumerate_unref(enumerate);
}

void Deleter::operator()(udev_device* device) const
{
    udev_device_unref(device);
}

void Deleter::operator()(udev_monitor* monitor) const
{
    udev_monitor_unref(monitor);
}

Context newContext()
{
    return Context(udev_new());
}

std::vector<Device> devices(udev* context, const char* subsystem, const char* devtype,
                            udev_device* parent)
{
    std::vector<Device> result;
    const Enumerate enumerate(context ? udev_enumerate_new(context) : nullptr);
    if (!enumerate)
        return result;
    if (udev_enumerate_add_match_subsystem(enumerate.get(), subsystem) < 0)
        return result;
    if (parent && udev_enumerate_add_match_parent(enumerate.get(), parent) < 0)
        return result;
    if (udev_enumerate_scan_devices(enumerate.get()) < 0)
        return result;

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        Device device(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!device)
            continue; // gone between listing and reading
        if (devtype && qstrcmp(udev_device_get_devtype(device.get()), devtype) != 0)
            continue;
        result.push_back(std::move(device));
    }
    return result;
}

QString sysattr(udev_device* device, const char* name)
{
    return QString::fromUtf8(udev_device_get_sysattr_value(device, name)).trimmed();
}

QString property(udev_device* device, const char* name)
{
    return QString::fromUtf8(udev_device_get_property_value(device, name)).trimmed();
}

QString syspath(udev_device* device)
{
    return QString::fromUtf8(udev_device_get_syspath(device));
}

QString sysname(udev_device* device)
{
    return QString::fromUtf8(udev_device_get_sysname(device));
}

QString driver(udev_device* device)
{
    return QString::fromUtf8(udev_device_get_driver(device));
}

} // namespace Udev

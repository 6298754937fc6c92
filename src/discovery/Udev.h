#pragma once

// Owning handles for libudev objects, so that every early return releases them.
// libudev itself stays out of this header: only the scanning code includes it.

#include <QString>
#include <memory>
#include <vector>

struct udev;
struct udev_device;
struct udev_enumerate;
struct udev_monitor;

namespace Udev {

struct Deleter {
    void operator()(udev* context) const;
    void operator()(udev_enumerate* enumerate) const;
    void operator()(udev_device* device) const;
    void operator()(udev_monitor* monitor) const;
};

using Context = std::unique_ptr<udev, Deleter>;
using Enumerate = std::unique_ptr<udev_enumerate, Deleter>;
using Device = std::unique_ptr<udev_device, Deleter>;
using Monitor = std::unique_ptr<udev_monitor, Deleter>;

// Absent when libudev cannot be used (no /sys, out of memory).
Context newContext();

// The devices of one subsystem, and of one devtype if given, in udev's order.
// With a parent, only that device and its descendants. Empty when udev fails.
std::vector<Device> devices(udev* context, const char* subsystem, const char* devtype = nullptr,
                            udev_device* parent = nullptr);

// A sysfs attribute or udev property with surrounding blanks removed; empty if absent.
QString sysattr(udev_device* device, const char* name);
QString property(udev_device* device, const char* name);
QString syspath(udev_device* device);
QString sysname(udev_device* device);
QString driver(udev_device* device);

} // namespace Udev

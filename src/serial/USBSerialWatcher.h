#pragma once

#include "serial/HotplugSource.h"
#include "serial/Udev.h"

#include <memory>

class QSocketNotifier;

// Reports ttys and USB devices coming and going, from udev's event stream, on the
// thread that calls start() (the main thread; it needs a running event loop).
class USBSerialWatcher final : public HotplugSource {
public:
    USBSerialWatcher();
    ~USBSerialWatcher() override;
    USBSerialWatcher(const USBSerialWatcher&) = delete;
    USBSerialWatcher& operator=(const USBSerialWatcher&) = delete;

    // Subscribes once; a second call does nothing. Devices already present are not
    // reported. Without udev the watcher stays idle and a later call tries again.
    void start() override;
    bool isWatching() const;

private:
    void drain();

    // Declared in release order: the notifier goes before the socket it watches.
    Udev::Context m_context;
    Udev::Monitor m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

#pragma once

#include "discovery/HotplugSource.h"
#include "discovery/Udev.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <optional>

class DeviceDirectoryWatcher;
class QSocketNotifier;

// Reports ttys and USB devices coming and going, from udev's event stream, on the
// thread that calls start() (the main thread; it needs a running event loop). Where
// no udev daemon runs, that stream stays silent; then the device folders are
// watched as well.
class USBSerialWatcher final : public HotplugSource {
public:
    // When the device folders are watched besides udev's event stream.
    enum class DirectoryWatch {
        withoutUdevDaemon, // decided once, at the first start()
        always,
        never,
    };

    // deviceRoot is the device folder to watch, "/dev" on a real system.
    explicit USBSerialWatcher(DirectoryWatch directoryWatch = DirectoryWatch::withoutUdevDaemon,
                              QString deviceRoot = QStringLiteral("/dev"));
    ~USBSerialWatcher() override;
    USBSerialWatcher(const USBSerialWatcher&) = delete;
    USBSerialWatcher& operator=(const USBSerialWatcher&) = delete;

    // Subscribes once; a second call does nothing. Devices already present are not
    // reported. Without udev's event stream a later call tries again.
    void start() override;
    bool isWatching() const;
    QList<UsbId> shortLivedAdapters() const override { return m_lifetimes.shortLived(); }

private:
    void startMonitor();
    bool wantsDirectories() const;
    void drain();
    void track(udev_device* device, const char* action);
    void report();

    DirectoryWatch m_directoryWatch;
    QString m_deviceRoot;
    std::optional<bool> m_watchesDirectories;
    std::unique_ptr<DeviceDirectoryWatcher> m_directories;
    TtyLifetimes m_lifetimes;
    QElapsedTimer m_monotonic;
    // Declared in release order: the notifier goes before the socket it watches.
    Udev::Context m_context;
    Udev::Monitor m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

#pragma once

#include <QFileSystemWatcher>
#include <QString>
#include <QStringList>
#include <functional>

// Hot-plug events for systems without a udev daemon (containers, minimal installs),
// where the kernel still creates and removes device nodes but nobody announces
// them: watches the device folder and the folder of stable serial names below it
// for entries appearing and vanishing. The stable-name folder may not exist yet; it
// is picked up once it appears, and again after it was removed and comes back.
class DeviceDirectoryWatcher {
public:
    // deviceRoot is "/dev" on a real system.
    explicit DeviceDirectoryWatcher(const QString& deviceRoot);
    DeviceDirectoryWatcher(const DeviceDirectoryWatcher&) = delete;
    DeviceDirectoryWatcher& operator=(const DeviceDirectoryWatcher&) = delete;

    // Called on the watcher's thread after each change in a watched folder.
    std::function<void()> onChange;

    // Whether at least the device folder itself is watched.
    bool isWatching() const;

private:
    void watchExistingFolders();

    QStringList m_folders; // the device folder first, then each level towards by-id
    QFileSystemWatcher m_watcher;
};

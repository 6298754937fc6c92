#include "discovery/DeviceDirectoryWatcher.h"

#include <QDir>
#include <QFileInfo>

namespace {

QStringList foldersBelow(const QString& deviceRoot)
{
    const QString root = QDir::cleanPath(deviceRoot);
    return {root, root + QStringLiteral("/serial"), root + QStringLiteral("/serial/by-id")};
}

} // namespace

DeviceDirectoryWatcher::DeviceDirectoryWatcher(const QString& deviceRoot)
    : m_folders(foldersBelow(deviceRoot))
{
    watchExistingFolders();
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_watcher, [this] {
        // A folder that appeared (or came back) is watched before anyone rescans.
        watchExistingFolders();
        if (onChange)
            onChange();
    });
}

bool DeviceDirectoryWatcher::isWatching() const
{
    return m_watcher.directories().contains(m_folders.first());
}

void DeviceDirectoryWatcher::watchExistingFolders()
{
    const QStringList watched = m_watcher.directories();
    QStringList missing;
    for (const QString& folder : m_folders) {
        if (!watched.contains(folder) && QFileInfo(folder).isDir())
            missing.append(folder);
    }
    // Qt warns about an empty list; nothing is missing most of the time.
    if (!missing.isEmpty())
        m_watcher.addPaths(missing);
}

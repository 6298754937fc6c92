// Reads every process's open descriptors under /proc; Linux only.
#include "serial/ProcessTable.h"

#include "serial/PathBytes.h"

#include <QFile>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

Dir openDir(const QString& path)
{
    return Dir(::opendir(encodePath(path).constData()));
}

bool isProcessId(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// Whether one of the descriptors in fdFolder (/proc/<pid>/fd) leads to node.
bool hasOpen(const QString& fdFolder, const QByteArray& node)
{
    const Dir fds = openDir(fdFolder);
    if (!fds)
        return false; // gone meanwhile, or another user's process
    QByteArray target(node.size() + 1, Qt::Uninitialized);
    while (const dirent* entry = ::readdir(fds.get())) {
        // One byte more than the node: a longer target cannot pass as equal.
        const ssize_t length =
            ::readlinkat(::dirfd(fds.get()), entry->d_name, target.data(), size_t(target.size()));
        if (length == node.size() &&
            std::memcmp(target.constData(), node.constData(), size_t(length)) == 0)
            return true;
    }
    return false;
}

} // namespace

ProcessTable::ProcessTable(QString procRoot)
    : m_procRoot(std::move(procRoot))
{
}

QList<ProcessHolder> ProcessTable::holdersOf(const QString& node) const
{
    QList<ProcessHolder> holders;
    const QByteArray nodeBytes = encodePath(node);
    const Dir processes = openDir(m_procRoot);
    if (!processes)
        return holders;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (!isProcessId(entry->d_name))
            continue;
        const QString process = m_procRoot + u'/' + QString::fromLatin1(entry->d_name);
        if (!hasOpen(process + QStringLiteral("/fd"), nodeBytes))
            continue;
        QFile comm(process + QStringLiteral("/comm"));
        const QString command = comm.open(QIODevice::ReadOnly)
                                    ? QString::fromUtf8(comm.readAll()).trimmed()
                                    : QString();
        holders.append({QByteArray(entry->d_name).toLongLong(), command});
    }
    return holders;
}

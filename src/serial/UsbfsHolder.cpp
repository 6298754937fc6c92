// Reads every process's open descriptors under /proc; Linux only.
#include "serial/UsbfsHolder.h"

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
    return Dir(::opendir(QFile::encodeName(path).constData()));
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

UsbfsHolder::UsbfsHolder(QString procRoot, QString devRoot)
    : m_procRoot(std::move(procRoot))
    , m_devRoot(std::move(devRoot))
{
}

QString UsbfsHolder::nodePath(int bus, int device) const
{
    return m_devRoot + QString::asprintf("/bus/usb/%03d/%03d", bus, device);
}

std::optional<QString> UsbfsHolder::holderOf(int bus, int device) const
{
    const QByteArray node = QFile::encodeName(nodePath(bus, device));
    const Dir processes = openDir(m_procRoot);
    if (!processes)
        return std::nullopt;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (!isProcessId(entry->d_name))
            continue;
        const QString process = m_procRoot + QLatin1Char('/') + QFile::decodeName(entry->d_name);
        if (!hasOpen(process + QStringLiteral("/fd"), node))
            continue;
        QFile comm(process + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}

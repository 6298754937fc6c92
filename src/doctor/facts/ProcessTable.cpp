// Reads every process's open descriptors under /proc; Linux only.
#include "doctor/facts/ProcessTable.h"

#include "line/PathBytes.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// The process's name (/proc/<pid>/comm); empty when it is gone.
QString commandOf(const QString& processFolder)
{
    QFile comm(processFolder + QStringLiteral("/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
}

} // namespace

QStringList ProcessTable::argumentsOf(qint64 pid) const
{
    QFile file(m_procRoot + u'/' + QString::number(pid) + QStringLiteral("/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    for (const QByteArray& argument : file.readAll().split('\0'))
        arguments.append(decodePath(argument));
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast(); // after the last argument's own end
    return arguments;
}

QString ProcessTable::folderOf(qint64 pid) const
{
    char target[4096];
    const QByteArray link =
        encodePath(m_procRoot + u'/' + QString::number(pid) + QStringLiteral("/cwd"));
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    return length > 0 ? decodePath(QByteArray(target, int(length))) : QString();
}

bool ProcessTable::isTerminalDevice(unsigned deviceMajor, unsigned deviceMinor) const
{
    QFile drivers(m_procRoot + QStringLiteral("/tty/drivers"));
    return drivers.open(QIODevice::ReadOnly) &&
           isTerminalDevice(drivers.readAll(), deviceMajor, deviceMinor);
}

bool ProcessTable::isTerminalDevice(const QByteArray& drivers, unsigned deviceMajor,
                                    unsigned deviceMinor)
{
    // "serial  /dev/ttyS  4  64-111  serial": name, node, major, minors, type.
    for (const QByteArray& line : drivers.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5)
            continue;
        bool ok = false;
        if (fields.at(2).toUInt(&ok) != deviceMajor || !ok)
            continue;
        const QList<QByteArray> range = fields.at(3).split('-');
        bool firstOk = false;
        bool lastOk = true;
        const unsigned first = range.first().toUInt(&firstOk);
        const unsigned last = range.size() > 1 ? range.at(1).toUInt(&lastOk) : first;
        if (firstOk && lastOk && deviceMinor >= first && deviceMinor <= last)
            return true;
    }
    return false;
}

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
        holders.append({QByteArray(entry->d_name).toLongLong(), commandOf(process)});
    }
    return holders;
}

QList<ProcessHolder> ProcessTable::lockHoldersOf(const QString& node) const
{
    struct stat status {};
    if (::stat(encodePath(node).constData(), &status) != 0)
        return {};
    QFile locks(m_procRoot + QStringLiteral("/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    QList<ProcessHolder> holders;
    for (qint64 pid : lockingProcesses(locks.readAll(), major(status.st_dev), minor(status.st_dev),
                                       status.st_ino))
        holders.append({pid, commandOf(m_procRoot + u'/' + QString::number(pid))});
    return holders;
}

QList<ProcessHolder> ProcessTable::openersOf(const QString& node) const
{
    QList<ProcessHolder> holders = holdersOf(node);
    for (const ProcessHolder& locker : lockHoldersOf(node)) {
        if (std::none_of(holders.begin(), holders.end(),
                         [&](const ProcessHolder& h) { return h.pid == locker.pid; }))
            holders.append(locker);
    }
    return holders;
}

QSet<QString> ProcessTable::commandNames() const
{
    QSet<QString> names;
    const Dir processes = openDir(m_procRoot);
    if (!processes)
        return names;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (isProcessId(entry->d_name))
            names.insert(commandOf(m_procRoot + u'/' + QString::fromLatin1(entry->d_name)));
    }
    names.remove(QString());
    return names;
}

QList<qint64> ProcessTable::lockingProcesses(const QByteArray& locks, unsigned deviceMajor,
                                             unsigned deviceMinor, quint64 inode)
{
    // "1: FLOCK  ADVISORY  WRITE 4711 00:05:87 0 EOF": the file as major:minor (hex) and
    // inode (decimal).
    const QByteArray file = QByteArray::number(deviceMajor, 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(deviceMinor, 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(inode);
    QList<qint64> pids;
    for (const QByteArray& line : locks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) == "->" || fields.at(5) != file)
            continue;
        bool ok = false;
        const qint64 pid = fields.at(4).toLongLong(&ok);
        if (ok && pid > 0 && !pids.contains(pid))
            pids.append(pid);
    }
    return pids;
}

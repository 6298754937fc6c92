#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// A process that has a file open.
struct ProcessHolder {
    qint64 pid = 0;
    QString command; // the process's name (comm), such as "picocom"

    bool operator==(const ProcessHolder&) const = default;
};

// Which processes have a device node open, read from /proc. The kernel names no owner of
// a device; the only trace is a descriptor of the process that leads to the node. Other
// users' descriptors stay hidden without privileges.
class ProcessTable {
public:
    // The root is "/proc" on a real system; tests give a tree of their own.
    explicit ProcessTable(QString procRoot = QStringLiteral("/proc"));

    // Every process with a descriptor on `node` (as its link in /proc/<pid>/fd reads), in
    // the order /proc lists them.
    QList<ProcessHolder> holdersOf(const QString& node) const;

    // Every process with a lock (flock, POSIX or open-file-description lock) on `node`,
    // from /proc/locks. Unlike descriptors, these are visible for every user's processes.
    QList<ProcessHolder> lockHoldersOf(const QString& node) const;

    // Both kinds, each process once, descriptor holders first.
    QList<ProcessHolder> openersOf(const QString& node) const;

    // The process's command line, one argument each; empty when it is gone or hidden.
    QStringList argumentsOf(qint64 pid) const;
    // The folder the process works in (for its relative paths); empty when hidden.
    QString folderOf(qint64 pid) const;

    // Whether a character device of this major and minor number is a terminal, as the
    // kernel's list of tty drivers (/proc/tty/drivers) has them.
    bool isTerminalDevice(unsigned deviceMajor, unsigned deviceMinor) const;
    static bool isTerminalDevice(const QByteArray& drivers, unsigned deviceMajor,
                                 unsigned deviceMinor);

    // The command names of all processes, for telling which services run. Reads one
    // small file per process, no descriptors.
    QSet<QString> commandNames() const;

    // The processes that hold a lock on the file (`device` as major and minor number,
    // `inode`) in the text of /proc/locks, each once, in the order listed. Waiting
    // requests ("->") hold nothing; OFD locks name no process (-1).
    static QList<qint64> lockingProcesses(const QByteArray& locks, unsigned deviceMajor,
                                          unsigned deviceMinor, quint64 inode);

private:
    QString m_procRoot;
};

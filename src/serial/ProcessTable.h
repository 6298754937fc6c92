#pragma once

#include <QList>
#include <QString>

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

private:
    QString m_procRoot;
};

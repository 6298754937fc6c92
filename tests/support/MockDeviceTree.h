#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

typedef struct _UMockdevTestbed UMockdevTestbed;

// A fake /sys and /dev built with umockdev. Only a process started with umockdev's
// preload library (umockdev-wrapper) sees it; one tree at a time.
class MockDeviceTree {
public:
    using Pairs = QList<QPair<QByteArray, QByteArray>>;

    MockDeviceTree();
    ~MockDeviceTree();
    MockDeviceTree(const MockDeviceTree&) = delete;
    MockDeviceTree& operator=(const MockDeviceTree&) = delete;

    bool isSeen() const;

    // Returns the device's sysfs path and sends an "add" uevent; the rest may be empty.
    QString add(const char* subsystem, const QString& name, const QString& parent = {},
                const QByteArray& devtype = {}, const QString& driver = {},
                const Pairs& attributes = {});
    // A tty with a node in the fake /dev (a pseudo-terminal), udev's link names and sysfs
    // attributes of its own.
    QString addTty(const QString& parent, const QString& name, const QStringList& devlinks = {},
                   const Pairs& attributes = {});
    // /dev/serial/by-id/<name>, pointing to /dev/<node>, on disk; replaces an older one.
    void addByIdLink(const QString& name, const QString& node) { addLink("by-id", name, node); }
    // The same below /dev/serial/by-path.
    void addByPathLink(const QString& name, const QString& node) { addLink("by-path", name, node); }

    void uevent(const QString& syspath, const char* action);

private:
    void addLink(const char* folder, const QString& name, const QString& node);

    UMockdevTestbed* m_testbed;
};

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

    // Returns the device's sysfs path and sends an "add" uevent. devtype and driver
    // may be empty; the parent too, for a top-level device.
    QString add(const char* subsystem, const QString& name, const QString& parent = {},
                const QByteArray& devtype = {}, const QString& driver = {},
                const Pairs& attributes = {});
    // A tty with a node in the fake /dev (a pseudo-terminal) and udev's link names.
    QString addTty(const QString& parent, const QString& name, const QStringList& devlinks = {});
    // /dev/serial/by-id/<name>, pointing to /dev/<node>, on disk.
    void addByIdLink(const QString& name, const QString& node);

    void uevent(const QString& syspath, const char* action);

private:
    UMockdevTestbed* m_testbed;
};

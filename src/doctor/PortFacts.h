#pragma once

#include "doctor/facts/ProcessTable.h"
#include "doctor/facts/UserDatabase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Owner, group and permission bits of a device node, as stat() gives them.
struct NodeAttributes {
    uint ownerId = 0;
    uint groupId = 0;
    QString groupName; // empty when the group database does not know the id
    uint mode = 0;     // the permission bits (0660 …)

    bool operator==(const NodeAttributes&) const = default;
};

// What the path leads to. Only a terminal can be a serial port.
enum class NodeKind {
    unknown, // not looked at (facts written by hand), or nothing there
    terminal,
    otherDevice, // such as /dev/null
    file,
    folder,
};

// What is known about one port, or one plugged-in adapter without a port, for telling
// why it cannot be used. Plain data: gathered from the system by PortFactCollector,
// written by hand in tests.
struct PortFacts {
    QString port;  // as the user picks it: by-id or by-path link, node; an adapter's name
    QString title; // the adapter's product name, else the tty's name
    QString node;  // the tty's device node; empty for an adapter without a port
    QString driver;
    int vendorID = 0; // 0 when the port is not on USB
    int productID = 0;

    NodeKind nodeKind = NodeKind::unknown;
    // The display simulator of bildwartctl whose link the path is (its PID); it keeps its
    // pseudo-terminal open on purpose and is no holder.
    qint64 simulatorPid = 0;

    // The node's owner and mode; absent when it cannot be read (or there is none).
    std::optional<NodeAttributes> nodeAttributes;
    UserCredentials user;
    // Processes that have the node open or locked (as far as they can be seen).
    QList<ProcessHolder> holders;

    // An adapter without a port, and who holds it (as UnboundAdapter has it).
    bool unbound = false;
    std::optional<QString> capturedBy;

    bool brlttyRunning = false;
    bool modemManagerRunning = false;
    // The active brltty rules file that names this adapter's ids; empty if none.
    QString brlttyRule;
    // The adapter's tty vanished within moments of appearing (seen by the hot-plug watcher).
    bool vanishedQuickly = false;
    // udev tells ModemManager to leave the port alone (ID_MM_DEVICE_IGNORE).
    bool modemManagerIgnores = false;

    // How long an FTDI adapter holds received bytes before it passes them on (sysfs).
    std::optional<int> latencyTimerMs;
    // A by-id name that this tty shares with another adapter; empty if none.
    QString sharedById;
    // The name the port list gives the tty: its own by-id link, else by-path, else the node.
    QString listedAs;
    // The first bytes received after connecting, when the caller was connected.
    QByteArray receivedAfterConnect;
    // The errno of a failed attempt to open the port; 0 when there was none.
    int openError = 0;

    bool operator==(const PortFacts&) const = default;
};

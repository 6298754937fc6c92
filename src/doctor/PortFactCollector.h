#pragma once

#include "doctor/PortFacts.h"
#include "doctor/facts/TtyLifetimes.h"

#include <QList>
#include <memory>

// Gathers the facts about ports and adapters from the system: udev and sysfs, the device
// nodes, the user and group database, /proc and the installed udev rules. Opens no
// device. Safe to use on any thread.
class PortFactCollector {
public:
    struct Sources {
        QString procRoot = QStringLiteral("/proc");
        QString devRoot = QStringLiteral("/dev"); // for the USB device nodes (usbfs)
        QString rulesRoot = QStringLiteral("/");  // above etc/udev and usr/lib/udev
        // The system's when not given.
        std::shared_ptr<const UserDatabase> users;
        // Adapters whose tty was seen to vanish at once (from the hot-plug watcher).
        QList<UsbId> shortLived;
    };

    enum class Depth {
        // Without the processes that have the node open: reading every descriptor of
        // every process takes a noticeable moment on a busy desktop.
        quick,
        full,
    };

    PortFactCollector();
    explicit PortFactCollector(Sources sources);

    // Every hardware port, then every adapter without a port.
    QList<PortFacts> collectAll(Depth depth) const;

    // One port by any of its names: by-id or by-path link, node, or a link of one's own.
    // A node that udev does not know (a pseudo-terminal) gets what the node tells.
    PortFacts collect(const QString& path, Depth depth) const;

private:
    struct Survey;
    PortFacts collectPort(const QString& path, Depth depth, Survey& survey) const;
    void noteVanishedAdapter(PortFacts& facts) const;

    Sources m_sources;
};

#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The name a tty is listed and reconnected under. udev's by-id link is built from the
// adapter's vendor, model and serial number and survives replugging into another socket;
// two adapters without a serial number (or clones sharing one) get the same by-id name,
// which then leads to one of them only. The by-path link names the USB socket instead.
struct StableName {
    QString path;       // the by-id link, else the by-path link, else the node
    QString sharedById; // a by-id name of this tty that another tty claims too; empty if none

    bool operator==(const StableName&) const = default;

    // `links` are the tty's udev links (DEVLINKS); `claimedElsewhere` the by-id links
    // that other ttys list. A link is used only when it leads to `node` on disk.
    static StableName choose(const QString& node, const QStringList& links,
                             const QSet<QString>& claimedElsewhere);

    // Whether the symbolic link `link` (through further links) leads to `node`.
    static bool leadsTo(const QString& link, const QString& node);
    // `path`, then each place its links lead to, in order; the last is no link.
    static QStringList hops(const QString& path);

    static bool isById(const QString& link);
    static bool isByPath(const QString& link);
};

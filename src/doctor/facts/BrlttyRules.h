#pragma once

#include <QByteArray>
#include <QString>

// brltty, the braille display daemon, ships udev rules that start it for the USB ids of
// braille displays. Several of those ids belong to common USB-serial chips (CH340,
// CP2102, FT232R), so brltty claims any such adapter: the tty vanishes a moment after
// it appeared. This finds the rule that names an adapter.
class BrlttyRules {
public:
    // The root is "/" on a real system; tests give a tree of their own.
    explicit BrlttyRules(QString root = QStringLiteral("/"));

    // The active brltty rules file that names the adapter's vendor and product id, or
    // empty. A file of the same name in /etc/udev/rules.d (or /run) replaces the one
    // below /usr/lib; an empty one, or a link to /dev/null, switches it off.
    QString ruleClaiming(int vendorID, int productID) const;

    // Whether the text of a rules file names the ids, as ENV{PRODUCT}=="1a86/7523/*"
    // (hex without leading zeros) or as ATTRS{idVendor} and ATTRS{idProduct}.
    static bool namesAdapter(const QByteArray& rules, int vendorID, int productID);

private:
    QString m_root;
};

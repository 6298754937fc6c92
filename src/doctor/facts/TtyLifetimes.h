#pragma once

#include <QHash>
#include <QList>
#include <QString>

// A USB adapter by its ids.
struct UsbId {
    int vendorID = 0;
    int productID = 0;

    bool operator==(const UsbId&) const = default;
};

// Remembers when ttys appeared, to tell which vanished within moments: what an adapter
// looks like from outside when a daemon (brltty) takes it over as soon as its driver has
// made the tty. Times are seconds on a monotonic clock.
class TtyLifetimes {
public:
    static constexpr double shortLifeSeconds = 2.0;

    void appeared(const QString& syspath, UsbId adapter, double now);
    void vanished(const QString& syspath, double now);

    // The adapters whose tty lived shorter than shortLifeSeconds, latest last, each once.
    const QList<UsbId>& shortLived() const { return m_shortLived; }

private:
    struct Birth {
        UsbId adapter;
        double time = 0;
    };
    QHash<QString, Birth> m_births;
    QList<UsbId> m_shortLived;
};

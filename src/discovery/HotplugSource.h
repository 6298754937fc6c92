#pragma once

#include "doctor/facts/TtyLifetimes.h"

#include <QList>
#include <functional>

// Tells its owner, on the main thread, that serial ports or USB devices may have
// changed. An event carries no data: it only means that a rescan is due.
class HotplugSource {
public:
    virtual ~HotplugSource() = default;
    virtual void start() = 0;

    // USB adapters whose tty vanished within moments of appearing since the start: a
    // daemon such as brltty took them over. None when the source cannot tell.
    virtual QList<UsbId> shortLivedAdapters() const { return {}; }

    std::function<void()> onChange;
};

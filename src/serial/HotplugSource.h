#pragma once

#include <functional>

// Tells its owner, on the main thread, that serial ports or USB devices may have
// changed. An event carries no data: it only means that a rescan is due.
class HotplugSource {
public:
    virtual ~HotplugSource() = default;
    virtual void start() = 0;

    std::function<void()> onChange;
};

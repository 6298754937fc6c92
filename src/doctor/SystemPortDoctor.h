#pragma once

#include "doctor/PortDoctor.h"
#include "doctor/PortFactCollector.h"

#include <functional>

// The port doctor on this computer's devices, processes and user database.
class SystemPortDoctor final : public PortDoctor {
public:
    // `shortLived` tells which adapters' ttys the hot-plug watcher saw vanish at once.
    explicit SystemPortDoctor(std::function<QList<UsbId>()> shortLived = {},
                              PortFactCollector::Sources sources = {});

    QList<PortReport> examineAll() override;
    PortReport examine(const QString& path, Depth depth, const QByteArray& received) override;
    QString explainOpenFailure(const QString& path, int errnum) override;

private:
    PortFactCollector collector() const;

    std::function<QList<UsbId>()> m_shortLived;
    PortFactCollector::Sources m_sources;
};

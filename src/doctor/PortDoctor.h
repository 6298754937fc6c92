#pragma once

#include "doctor/Finding.h"
#include "doctor/PortFactCollector.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Tells why ports do not work. The system's (SystemPortDoctor) in the programs; tests give
// their own, so that nothing depends on this machine's users, processes or adapters.
class PortDoctor {
public:
    // quick leaves out which processes have the node open: cheap enough for every
    // change of the selection.
    using Depth = PortFactCollector::Depth;

    virtual ~PortDoctor() = default;

    // Every hardware port, then every plugged-in adapter without a port.
    virtual QList<PortReport> examineAll() = 0;

    // One port by any of its names. `received` is what came in right after connecting,
    // when the caller was connected.
    virtual PortReport examine(const QString& path, Depth depth,
                               const QByteArray& received = {}) = 0;

    // The short cause of a failed open of `path` with `errnum`, as the failure's message
    // ends with it; empty when nothing is known.
    virtual QString explainOpenFailure(const QString& path, int errnum) = 0;
};

#pragma once

#include "doctor/Finding.h"

// Why a port does not work, decided from its facts alone: no system calls, so that every
// case can be written down as a row of facts and checked.
namespace PortDiagnosis {

// Every finding for the port, most severe first.
QList<Finding> findings(const PortFacts& facts);

// The short cause of a failed open with `errnum` (what the failure's message ends
// with), or empty when the facts do not tell.
QString openFailureNote(const PortFacts& facts, int errnum);

// Whether bytes received right after connecting hold ModemManager's probes (ATZ, AT+GCAP …).
bool looksLikeModemProbe(const QByteArray& received);

// Whether the user may read and write the node with the given groups.
bool mayReadWrite(const NodeAttributes& node, uint userId, const QList<uint>& groups);

} // namespace PortDiagnosis

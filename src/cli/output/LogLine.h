#pragma once

#include "controller/LogEntry.h"

#include <QString>

// One traffic-log entry as the tool prints it (-v on stderr, monitor on stdout): the
// export's date and symbol, then the text, or with `hex` the entry's bytes as hex.
QString logLine(const LogEntry& entry, bool hex);

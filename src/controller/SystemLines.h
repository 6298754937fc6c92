#pragma once

#include "line/Line.h"
#include "line/LineAddress.h"
#include "protocol/DisplaySeries.h"

#include <memory>

// The line an address names: a serial device of this computer, a network port (tcp://,
// rfc2217://) or a built-in simulator, which plays a display of `series`.
std::unique_ptr<Line> makeSystemLine(const LineAddress& address, const SerialSettings& settings,
                                     DisplaySeries series);

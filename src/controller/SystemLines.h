#pragma once

#include "line/Line.h"

#include <memory>

// The line for what the user chose: a network address (tcp://, rfc2217://) or a serial
// device of this computer.
std::unique_ptr<Line> makeSystemLine(const QString& device, const SerialSettings& settings);

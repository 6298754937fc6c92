#pragma once

#include "line/SerialSettings.h"

#include <termios.h>

// The terminal attributes and modem lines a SerialSettings asks for, without touching
// a device, so that the rules can be checked where a pseudo-terminal cannot show them
// (it forces 8 data bits and no parity, and has no modem lines).

// Raw mode with the frame, flow control and speed of the settings, on top of the
// attributes the device reported. A rate without a termios step keeps the speed of
// the attributes; the exact rate is set through TermiosSpeed afterwards.
void applyLineSettings(termios& attributes, const SerialSettings& settings);

// The termios step for a rate, if there is one.
std::optional<speed_t> standardSpeed(qint64 rate);

struct ModemLines {
    bool dtr = false;
    bool rts = false;
    bool operator==(const ModemLines&) const = default;
};

// Hardware flow control needs RTS asserted whatever assertRTS says.
ModemLines modemLines(const SerialSettings& settings);

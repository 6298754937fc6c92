#pragma once

#include <QtGlobal>
#include <optional>

// Any integer line speed, not only the fixed termios steps (230400, 250000, MIDI's
// 31250 ...). The descriptor must be a terminal device.

// Sets input and output speed to exactly this many baud. False if the rate is out of
// range or the driver refused it.
bool setExactBaudRate(int fd, qint64 rate);

// The output speed the driver reports, in baud.
std::optional<qint64> readExactBaudRate(int fd);

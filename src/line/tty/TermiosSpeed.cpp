// This file exists because the kernel's <asm/termbits.h>, which alone declares
// struct termios2 and BOTHER, redefines struct termios and clashes with glibc's
// <termios.h>. Nothing else in the program may include both, so the arbitrary-speed
// calls live here behind a plain-integer interface.
#include "line/tty/TermiosSpeed.h"

#include <asm/termbits.h>
#include <limits>
#include <sys/ioctl.h>

bool setExactBaudRate(int fd, qint64 rate)
{
    if (rate <= 0 || rate > std::numeric_limits<speed_t>::max())
        return false;
    termios2 attributes{};
    if (ioctl(fd, TCGETS2, &attributes) != 0)
        return false;
    attributes.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    attributes.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    attributes.c_ispeed = static_cast<speed_t>(rate);
    attributes.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &attributes) == 0;
}

std::optional<qint64> readExactBaudRate(int fd)
{
    termios2 attributes{};
    if (ioctl(fd, TCGETS2, &attributes) != 0)
        return std::nullopt;
    return qint64(attributes.c_ospeed);
}

#include "line/tty/LineAttributes.h"

#include <array>

namespace {

struct SpeedStep {
    qint64 rate;
    speed_t speed;
};

// B0 is left out on purpose: it is no speed but "hang up".
constexpr std::array<SpeedStep, 30> speedSteps{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

tcflag_t characterSize(SerialSettings::DataBits bits)
{
    switch (bits) {
    case SerialSettings::DataBits::five:
        return CS5;
    case SerialSettings::DataBits::six:
        return CS6;
    case SerialSettings::DataBits::seven:
        return CS7;
    case SerialSettings::DataBits::eight:
        return CS8;
    }
    return CS8;
}

} // namespace

std::optional<speed_t> standardSpeed(qint64 rate)
{
    for (const SpeedStep& step : speedSteps) {
        if (step.rate == rate)
            return step.speed;
    }
    return std::nullopt;
}

void applyLineSettings(termios& attributes, const SerialSettings& settings)
{
    using S = SerialSettings;
    cfmakeraw(&attributes);

    attributes.c_cflag &= ~(CLOCAL | CREAD | CSIZE);
    attributes.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits);

    switch (settings.parity) {
    case S::Parity::none:
        attributes.c_cflag &= ~(PARENB | PARODD);
        break;
    case S::Parity::even:
        attributes.c_cflag &= ~PARODD;
        attributes.c_cflag |= PARENB;
        break;
    case S::Parity::odd:
        attributes.c_cflag |= PARENB | PARODD;
        break;
    }

    attributes.c_cflag &= ~(CSTOPB | CRTSCTS);
    if (settings.stopBits == S::StopBits::two)
        attributes.c_cflag |= CSTOPB;

    attributes.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (settings.flowControl) {
    case S::FlowControl::none:
        break;
    case S::FlowControl::rtsCts:
        attributes.c_cflag |= CRTSCTS;
        break;
    case S::FlowControl::xonXoff:
        attributes.c_iflag |= IXON | IXOFF;
        break;
    }

    // Reads return at once with whatever is there.
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;

    if (const auto speed = standardSpeed(settings.baudRate)) {
        // An input speed left in CIBAUD by an earlier exact rate would win over the
        // new step; without it the input speed follows the output speed.
        attributes.c_cflag &= ~CIBAUD;
        cfsetispeed(&attributes, *speed);
        cfsetospeed(&attributes, *speed);
    }
}

ModemLines modemLines(const SerialSettings& settings)
{
    return {settings.assertDTR,
            settings.assertRTS || settings.flowControl == SerialSettings::FlowControl::rtsCts};
}

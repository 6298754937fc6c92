#include "cli/invocation/Invocation.h"

SerialSettings Invocation::applyTo(SerialSettings settings) const
{
    settings.baudRate = baudRate.value_or(settings.baudRate);
    settings.dataBits = dataBits.value_or(settings.dataBits);
    settings.parity = parity.value_or(settings.parity);
    settings.stopBits = stopBits.value_or(settings.stopBits);
    settings.flowControl = flowControl.value_or(settings.flowControl);
    settings.lineEnding = lineEnding.value_or(settings.lineEnding);
    settings.responseTimeout = responseTimeout.value_or(settings.responseTimeout);
    settings.interCommandDelay = interCommandDelay.value_or(settings.interCommandDelay);
    return settings;
}

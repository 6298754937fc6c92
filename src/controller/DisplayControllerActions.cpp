// The remote-control actions: each changes the local copy at once (so the interface
// follows the control) and queues one command.
#include "controller/DisplayController.h"

#include <cmath>

namespace {

// Poll answers asked before a set action must not move a slider back for this long.
constexpr auto holdOff = std::chrono::milliseconds(2000);

double clampLevel(double value)
{
    return std::clamp(value, 0.0, 100.0);
}

// Rounded half away from zero, kept within what a 64-bit integer can hold.
qint64 roundedLevel(double value)
{
    if (!std::isfinite(value))
        return 0;
    return qint64(std::clamp(std::round(value), -9.0e18, 9.0e18));
}

} // namespace

void DisplayController::openHoldOff()
{
    m_suppressPollUntil = m_clock->monotonic() + holdOff;
}

void DisplayController::setPower(PowerState state)
{
    openHoldOff();
    // The power state changes only when the display reports it.
    send(SmartCommand::set(QStringLiteral("powerstate"), rawValue(state)));
}

void DisplayController::setInput(const QString& id)
{
    openHoldOff();
    update(m_input, std::optional(id), &DisplayController::inputChanged);
    send(SmartCommand::set(QStringLiteral("input"), id));
}

void DisplayController::setVolume(double value)
{
    openHoldOff();
    const qint64 level = roundedLevel(value);
    update(m_volume, double(level), &DisplayController::volumeChanged);
    send(SmartCommand::set(QStringLiteral("volume"), QString::number(level)));
}

void DisplayController::stepVolume(qint64 steps)
{
    openHoldOff();
    update(m_volume, clampLevel(m_volume + double(steps)), &DisplayController::volumeChanged);
    // The display does its own limiting; the command carries the full step.
    send(SmartCommand::relative(QStringLiteral("volume"), steps));
}

void DisplayController::setMute(bool on)
{
    openHoldOff();
    update(m_mute, on, &DisplayController::muteChanged);
    send(SmartCommand::set(QStringLiteral("mute"), SmartCommand::onOff(on)));
}

void DisplayController::setMicMute(bool on)
{
    openHoldOff();
    update(m_micMute, on, &DisplayController::micMuteChanged);
    send(SmartCommand::set(QStringLiteral("micmute"), SmartCommand::onOff(on)));
}

void DisplayController::setBrightness(double value)
{
    openHoldOff();
    const qint64 level = roundedLevel(value);
    update(m_brightness, double(level), &DisplayController::brightnessChanged);
    send(SmartCommand::set(QStringLiteral("brightness"), QString::number(level)));
}

void DisplayController::stepBrightness(qint64 steps)
{
    openHoldOff();
    update(m_brightness, clampLevel(m_brightness + double(steps)),
           &DisplayController::brightnessChanged);
    send(SmartCommand::relative(QStringLiteral("brightness"), steps));
}

void DisplayController::setVideoFreeze(bool on)
{
    openHoldOff();
    update(m_videoFreeze, on, &DisplayController::videoFreezeChanged);
    send(SmartCommand::set(QStringLiteral("videofreeze"), SmartCommand::onOff(on)));
}

void DisplayController::setScreenShade(bool on)
{
    openHoldOff();
    update(m_screenShade, on, &DisplayController::screenShadeChanged);
    send(SmartCommand::set(QStringLiteral("screenshade"), SmartCommand::onOff(on)));
}

void DisplayController::setStateReporting(bool on)
{
    openHoldOff();
    update(m_stateReporting, on, &DisplayController::stateReportingChanged);
    send(SmartCommand::set(QStringLiteral("statereporting"), SmartCommand::onOff(on)));
}

void DisplayController::factoryReset()
{
    // The display accepts the reset only together with its own serial number.
    if (m_serialNumber.isEmpty()) {
        appendLog(LogEntry::Kind::error,
                  QStringLiteral("Werksreset braucht die Seriennummer \u2013 erst "
                                 "\u201EGer\u00E4teinfo abfragen\u201C."));
        return;
    }
    send(SmartCommand::set(QStringLiteral("factoryreset"), m_serialNumber));
}

void DisplayController::sendCustom(const QString& text)
{
    if (m_rawMode) {
        sendRaw(text.toUtf8() + lineEndingBytes(m_settings.lineEnding), text);
        return;
    }
    // Blanks only become the empty command: the bare line ending asks for a fresh prompt.
    send(text.trimmed());
}

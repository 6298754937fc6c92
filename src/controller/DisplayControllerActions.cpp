// The remote-control actions: each changes the local copy at once (so the interface
// follows the control) and queues one command.
#include "controller/DisplayController.h"

#include <cmath>

namespace {

// Rounded half away from zero, kept within what a 64-bit integer can hold.
qint64 roundedLevel(double value)
{
    if (!std::isfinite(value))
        return 0;
    return qint64(std::clamp(std::round(value), -9.0e18, 9.0e18));
}

} // namespace

void DisplayController::holdOffLevelQueries()
{
    m_display.holdOffLevelQueries(m_clock->monotonic());
}

void DisplayController::setPower(PowerState state)
{
    holdOffLevelQueries();
    // The power state changes only when the display reports it.
    send(SmartCommand::set(DisplaySetting::power, rawValue(state)));
}

void DisplayController::setInput(const QString& id)
{
    holdOffLevelQueries();
    changeDisplay([&](DisplayState& display) { display.input = id; });
    send(SmartCommand::set(DisplaySetting::input, id));
}

void DisplayController::setLevel(DisplaySetting setting, double value)
{
    holdOffLevelQueries();
    const qint64 level = roundedLevel(value);
    changeDisplay([&](DisplayState& display) { display.level(setting) = double(level); });
    send(SmartCommand::set(setting, QString::number(level)));
}

void DisplayController::stepLevel(DisplaySetting setting, qint64 steps)
{
    holdOffLevelQueries();
    changeDisplay([&](DisplayState& display) {
        double& level = display.level(setting);
        level = std::clamp(level + double(steps), 0.0, 100.0);
    });
    // The display does its own limiting; the command carries the full step.
    send(SmartCommand::relative(setting, steps));
}

void DisplayController::setSwitch(DisplaySetting setting, bool on)
{
    holdOffLevelQueries();
    changeDisplay([&](DisplayState& display) { display.toggle(setting) = on; });
    send(SmartCommand::set(setting, SmartCommand::onOff(on)));
}

void DisplayController::factoryReset()
{
    if (m_display.serialNumber.isEmpty()) {
        appendLog(LogEntry::Kind::error,
                  QStringLiteral("Werksreset braucht die Seriennummer \u2013 erst "
                                 "\u201EGer\u00E4teinfo abfragen\u201C."));
        return;
    }
    send(SmartCommand::factoryReset(m_display.serialNumber));
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

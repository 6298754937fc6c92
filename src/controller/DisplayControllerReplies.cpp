// Everything the display sends: counting, logging, parsing, and the periodic poll
// that keeps the controller's picture of the display current.
#include "controller/DisplayController.h"

#include <cmath>

namespace {

// Poll rounds never come closer than this, whatever the stored interval says.
constexpr double minimumPollSeconds = 1.0;

// A decimal number in C-locale syntax, the whole text; nothing for anything else.
std::optional<double> readNumber(const QString& text)
{
    if (text.isEmpty() || text.front().isSpace())
        return std::nullopt;
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    // "nan" and "inf" read as numbers, but no slider can show them.
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

bool isOn(const QString& value)
{
    return value == u"on";
}

bool looksLikeError(const QString& line)
{
    const QString lower = line.toLower();
    return lower.contains(u"invalid") || lower.contains(u"error") || lower.contains(u"unknown");
}

} // namespace

void DisplayController::handleReceived(const QByteArray& chunk)
{
    update(m_rxCount, m_rxCount + chunk.size(), &DisplayController::rxCountChanged);
    update(m_displayResponding, true, &DisplayController::displayRespondingChanged);
    update(m_lastReply, std::optional(now()), &DisplayController::lastReplyChanged);
    appendLog(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk);

    if (m_loopbackRunning) {
        m_loopbackReceived += chunk;
        wakeLoopbackWait();
    }
    if (m_rawMode)
        return;

    for (const SmartEvent& event : m_parser.feed(chunk))
        handleEvent(event);
}

void DisplayController::handleEvent(const SmartEvent& event)
{
    switch (event.kind) {
    case SmartEvent::Kind::value: {
        const bool fromQuery = m_current && !m_current->text.toLower().startsWith(u"set ");
        apply(event.name, event.value, fromQuery);
        break;
    }
    case SmartEvent::Kind::async:
        appendLog(LogEntry::Kind::async, QStringLiteral("Am Ger\u00E4t ge\u00E4ndert: ") +
                                             event.name + u'=' + event.value);
        apply(event.name, event.value, false);
        break;
    case SmartEvent::Kind::text:
        if (looksLikeError(event.line))
            appendLog(LogEntry::Kind::error, QStringLiteral("Display meldet: ") + event.line);
        break;
    case SmartEvent::Kind::prompt:
        promptArrived();
        break;
    }
}

void DisplayController::apply(const QString& name, const QString& value, bool fromQuery)
{
    const bool isLevel = name == u"volume" || name == u"brightness";
    if (fromQuery && isLevel && m_clock->monotonic() < m_suppressPollUntil)
        return; // an answer asked before the user moved the slider

    const QString lower = value.toLower();
    if (name == u"powerstate") {
        update(m_power, powerStateFromRaw(lower), &DisplayController::powerChanged);
    } else if (name == u"input") {
        update(m_input, std::optional(lower), &DisplayController::inputChanged);
    } else if (name == u"volume") {
        if (const auto number = readNumber(lower))
            update(m_volume, *number, &DisplayController::volumeChanged);
    } else if (name == u"brightness") {
        if (const auto number = readNumber(lower))
            update(m_brightness, *number, &DisplayController::brightnessChanged);
    } else if (name == u"mute") {
        update(m_mute, isOn(lower), &DisplayController::muteChanged);
    } else if (name == u"micmute") {
        update(m_micMute, isOn(lower), &DisplayController::micMuteChanged);
    } else if (name == u"videofreeze") {
        update(m_videoFreeze, isOn(lower), &DisplayController::videoFreezeChanged);
    } else if (name == u"screenshade") {
        update(m_screenShade, isOn(lower), &DisplayController::screenShadeChanged);
    } else if (name == u"statereporting") {
        update(m_stateReporting, isOn(lower), &DisplayController::stateReportingChanged);
    } else if (name == u"modelnum") {
        update(m_modelNumber, value, &DisplayController::modelNumberChanged);
        const auto detected = detectSeries(value);
        if (detected && *detected != m_series) {
            setSeries(*detected);
            appendLog(LogEntry::Kind::info,
                      QStringLiteral("Reihe automatisch erkannt: SMART ") + rawValue(*detected));
        }
    } else if (name == u"serialnum") {
        update(m_serialNumber, value, &DisplayController::serialNumberChanged);
    } else if (name == u"partnum") {
        update(m_partNumber, value, &DisplayController::partNumberChanged);
    } else if (name == u"fwversion") {
        update(m_firmware, value, &DisplayController::firmwareChanged);
    }
}

void DisplayController::startPolling()
{
    m_poll.start();
    schedulePoll();
}

void DisplayController::schedulePoll()
{
    // Read anew every round, so a changed interval takes effect with the next one.
    m_poll.sleep(std::max(m_pollingInterval, minimumPollSeconds), [this] { pollCycle(); });
}

void DisplayController::pollCycle()
{
    // A busy line, a running test output or raw mode skip the round; nothing is caught up.
    const bool lineIdle = m_queue.isEmpty() && !m_current;
    if (m_pollingEnabled && m_connection.is(ConnectionState::Case::connected) && !m_testRunning &&
        !m_rawMode && lineIdle) {
        for (const QString& name : SmartCommand::cyclicPoll())
            send(SmartCommand::query(name));
    }
    schedulePoll();
}

void DisplayController::refreshAll()
{
    for (const QString& name : SmartCommand::infoQueries())
        send(SmartCommand::query(name));
    for (const QString& name : SmartCommand::statusQueries())
        send(SmartCommand::query(name));
}

void DisplayController::queryDeviceInfo()
{
    for (const QString& name : SmartCommand::infoQueries())
        send(SmartCommand::query(name));
}

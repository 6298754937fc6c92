// Everything the display sends: counting, logging, parsing, and the periodic poll
// that keeps the controller's picture of the display current.
#include "controller/DisplayController.h"

namespace {

// Poll rounds never come closer than this, whatever the stored interval says.
constexpr double minimumPollSeconds = 1.0;

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
    update(m_lastReply, std::optional(m_clock->now()), &DisplayController::lastReplyChanged);
    appendLog(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk, m_current && m_current->poll);
    watchForModemProbe(chunk);

    if (m_loopbackRunning && m_pendingEcho) {
        m_pendingEcho->received += chunk;
        // Judged right here, so the measured delay is the echo's, not the event loop's.
        if (m_pendingEcho->isComplete())
            finishLoopbackPacket();
    }
    if (m_rawMode)
        return;

    for (const SmartEvent& event : m_parser.feed(chunk))
        handleEvent(event);
}

void DisplayController::handleEvent(const SmartEvent& event)
{
    switch (event.kind) {
    case SmartEvent::Kind::value:
    case SmartEvent::Kind::async: {
        const bool report = event.kind == SmartEvent::Kind::async;
        if (report)
            appendLog(LogEntry::Kind::async, QStringLiteral("Am Ger\u00E4t ge\u00E4ndert: ") +
                                                 event.name + u'=' + event.value);
        // An answer to a query of ours, not to a set command and not a report.
        const bool fromQuery = !report && m_current && !SmartCommand::isSet(m_current->text);
        std::optional<DisplaySeries> detected;
        changeDisplay([&](DisplayState& state) {
            detected = state.apply(event.name, event.value, fromQuery, m_clock->monotonic());
        });
        if (detected && *detected != m_series) {
            setSeries(*detected);
            appendLog(LogEntry::Kind::info,
                      QStringLiteral("Reihe automatisch erkannt: SMART ") + rawValue(*detected));
        }
        break;
    }
    case SmartEvent::Kind::text:
        if (looksLikeError(event.line))
            appendLog(LogEntry::Kind::error, QStringLiteral("Display meldet: ") + event.line);
        break;
    case SmartEvent::Kind::prompt:
        break;
    }
    emit displayEvent(event);
    // Last, so that whoever waits for the line to be idle finds the answer applied.
    if (event.kind == SmartEvent::Kind::prompt)
        promptArrived();
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
        for (DisplaySetting setting : SmartCommand::cyclicPoll())
            queueCommand({SmartCommand::query(setting), true});
    }
    schedulePoll();
}

void DisplayController::refreshAll()
{
    queryDeviceInfo();
    for (DisplaySetting setting : SmartCommand::statusQueries())
        send(SmartCommand::query(setting));
}

void DisplayController::queryDeviceInfo()
{
    for (DisplaySetting setting : SmartCommand::infoQueries())
        send(SmartCommand::query(setting));
}

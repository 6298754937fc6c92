#include "controller/CommandPump.h"

#include "controller/Clock.h"
#include "controller/LineSession.h"
#include "controller/TrafficLog.h"
#include "protocol/HexBytes.h"

#include <QLocale>

namespace {

// Poll rounds never come closer than this, whatever the stored interval says.
constexpr double minimumPollSeconds = 1.0;

using Outcome = CommandResult::Outcome;

class Busy {
public:
    explicit Busy(int& depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~Busy() { --m_depth; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    int& m_depth;
};

bool looksLikeError(const QString& line)
{
    const QString lower = line.toLower();
    return lower.contains(u"invalid") || lower.contains(u"error") || lower.contains(u"unknown");
}

// An error line of the display, for the log and as a refused command's reason.
QString displayReported(const QString& line)
{
    return CommandPump::tr("Display meldet: %1").arg(line);
}

// The empty command is the bare line ending: it asks the display for a fresh prompt.
QString shownText(const SmartCommand& command, bool forTimeout)
{
    if (!command.text.isEmpty())
        return command.origin.isEmpty() || forTimeout
                   ? command.text
                   : QStringLiteral("%1   [%2]").arg(command.text, command.origin);
    return forTimeout ? QStringLiteral("⏎") : CommandPump::tr("(Zeilenende – Prompt anfordern)");
}

} // namespace

CommandPump::CommandPump(LineSession& session, TrafficLog& log, std::shared_ptr<const Clock> clock,
                         Polling polling, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_log(log)
    , m_clock(std::move(clock))
    , m_polling(polling)
    , m_timer(m_clock->makeTimer())
    , m_poll(this, *m_clock)
{
}

CommandPump::~CommandPump() = default;

bool CommandPump::acceptsCommands() const
{
    return m_running && !m_rawMode;
}

quint64 CommandPump::send(SmartCommand command)
{
    if (!acceptsCommands())
        return 0;
    if (command.ticket == 0)
        command.ticket = ++m_lastTicket;
    const quint64 ticket = command.ticket;
    const auto replaced = m_queue.add(std::move(command));
    emit queueChanged();
    if (replaced)
        emit finished(
            {*replaced, Outcome::superseded, {}, tr("durch einen neueren Befehl ersetzt")});
    // Straight onto an idle line when nobody is in the middle of the pump's work.
    if (m_busy == 0 && !m_deferSteps && m_handshake.phase() == PromptHandshake::Phase::idle)
        step();
    else
        scheduleStep();
    return ticket;
}

void CommandPump::scheduleStep()
{
    // From the event loop: whoever queues may be in the middle of handling a reply.
    if (m_stepPosted || m_queue.isEmpty())
        return;
    if (m_deferSteps) {
        m_stepOwed = true;
        return;
    }
    m_stepPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_stepPosted = false;
            step();
        },
        Qt::QueuedConnection);
}

void CommandPump::step()
{
    const Busy busy(m_busy);
    if (!acceptsCommands() || m_handshake.phase() != PromptHandshake::Phase::idle ||
        m_queue.isEmpty())
        return;
    // A command timed out and its prompt may still come: a fresh prompt first, as at the
    // start, so that the late one cannot end the next command. A line that never said a
    // word owes nothing that could come.
    if (m_handshake.owed() > 0) {
        if (m_session.hearsBytes()) {
            m_resyncing = true;
            execute(SmartCommand{QString()});
            return;
        }
        m_handshake.forgetOwed();
    }
    // execute() tells of the change once the command is on the line: the pump is never
    // seen idle between the two.
    execute(m_queue.takeFirst());
}

void CommandPump::execute(SmartCommand command)
{
    const SerialSettings& settings = m_session.settings();
    const QByteArray bytes = command.text.toUtf8() + lineEndingBytes(settings.lineEnding);
    const quint64 epoch = m_epoch;
    if (!m_session.write(bytes)) {
        emit queueChanged();
        emit finished({command, Outcome::notSent, {}, tr("nicht gesendet")});
        if (epoch == m_epoch)
            scheduleStep();
        return;
    }
    m_log.countSent(bytes.size());
    m_log.append(LogEntry::Kind::tx, shownText(command, false), bytes, command.poll);
    m_replies.clear();
    m_refusal.clear();
    m_handshake.sent(std::move(command), m_clock->monotonic(),
                     PromptHandshake::Seconds(settings.responseTimeout));
    emit queueChanged();
    arm();
}

void CommandPump::arm()
{
    const auto deadline = m_handshake.deadline();
    if (!deadline) {
        m_timer->stop();
        return;
    }
    const double seconds = std::chrono::duration<double>(*deadline - m_clock->monotonic()).count();
    m_timer->start(std::max(seconds, 0.0), [this] { onDeadline(); });
}

template <typename Work>
void CommandPump::deferringSteps(Work&& work)
{
    if (m_deferSteps) {
        work();
        return;
    }
    m_deferSteps = true;
    work();
    m_deferSteps = false;
    if (std::exchange(m_stepOwed, false))
        step();
}

void CommandPump::onDeadline()
{
    deferringSteps([this] { handleDeadline(); });
}

void CommandPump::handleDeadline()
{
    const double timeout = m_session.settings().responseTimeout;
    const auto timedOut = m_handshake.timePassed(
        m_clock->monotonic(), PromptHandshake::Seconds(m_session.settings().interCommandDelay));
    if (timedOut) {
        // After a prompt request that got none, nothing owed is coming; after a command,
        // its prompt may still: the next command waits for a fresh one first (step()).
        m_resyncing = false;
        if (timedOut->text.isEmpty())
            m_handshake.forgetOwed();
        m_log.countTimeout();
        const QString text =
            tr("Keine Antwort auf „%1“ nach %2 s – Kabel (kein Nullmodem!), Baudrate, "
               "Raumsteuerung prüfen.")
                .arg(shownText(*timedOut, true),
                     QLocale().toString(timeout, 'g', QLocale::FloatingPointShortest));
        m_log.append(LogEntry::Kind::error, text, {}, timedOut->poll);
        const bool ownQuery = timedOut->poll || m_ownQueries.contains(timedOut->ticket);
        endCurrent(timedOut, Outcome::timedOut, text);
        // Nobody answers this line yet: the rest of the refresh or poll would each wait as
        // long, and a click of the user's behind them too.
        if (ownQuery && !m_displayHeard)
            dropOwnQueries();
    }
    arm();
    if (m_handshake.phase() == PromptHandshake::Phase::idle)
        scheduleStep();
}

void CommandPump::endCurrent(const std::optional<SmartCommand>& ended, Outcome outcome,
                             const QString& error)
{
    if (!ended)
        return;
    m_ownQueries.remove(ended->ticket);
    emit queueChanged();
    emit finished({*ended, outcome, std::exchange(m_replies, {}), error});
}

void CommandPump::received(const QByteArray& chunk)
{
    deferringSteps([&] { handleChunk(chunk); });
}

void CommandPump::handleChunk(const QByteArray& chunk)
{
    if (m_rawMode || !m_running)
        return;
    const quint64 epoch = m_epoch;
    for (const SmartEvent& event : m_parser.feed(chunk)) {
        const std::optional<SmartCommand> during = current();
        if (event.kind == SmartEvent::Kind::prompt || event.kind == SmartEvent::Kind::value)
            m_displayHeard = true;
        // Text on a network line before any display spoke is the gateway's own (ser2net's
        // "Device open failure …", a banner): worth a note, once per series of attempts.
        // A display's error words are the display's, whoever else is on the line.
        const bool displayError =
            event.kind == SmartEvent::Kind::text && looksLikeError(event.line);
        if (event.kind == SmartEvent::Kind::text && !displayError && !m_displayHeard &&
            m_session.isNetwork()) {
            if (m_session.isNewGatewayMessage(event.line))
                m_log.info(tr("Gateway meldet: %1").arg(event.line));
        } else if (displayError) {
            m_log.error(displayReported(event.line));
            if (during && m_refusal.isEmpty())
                m_refusal = event.line;
        }
        if (during && event.kind != SmartEvent::Kind::prompt)
            m_replies.append(event);
        emit this->event(event, during);
        if (epoch != m_epoch)
            return;
        // Last, so that whoever waits for the command's end finds its answer applied.
        if (event.kind == SmartEvent::Kind::prompt) {
            const auto ended = m_handshake.promptArrived(
                m_clock->monotonic(),
                PromptHandshake::Seconds(m_session.settings().interCommandDelay));
            if (ended) {
                m_resyncing = false;
                const QString refusal = std::exchange(m_refusal, {});
                endCurrent(ended, refusal.isEmpty() ? Outcome::answered : Outcome::refused,
                           refusal.isEmpty() ? QString() : displayReported(refusal));
                if (epoch != m_epoch)
                    return;
                arm();
                if (m_handshake.phase() == PromptHandshake::Phase::idle)
                    scheduleStep();
            }
        }
    }
}

void CommandPump::cancelAll(const QString& why)
{
    const Busy busy(m_busy);
    ++m_epoch;
    m_timer->stop();
    m_resyncing = false;
    const auto onLine = m_handshake.reset();
    const QList<SmartCommand> waiting = m_queue.commands();
    const bool changed = onLine || !waiting.isEmpty();
    m_queue.clear();
    m_replies.clear();
    m_refusal.clear();
    if (changed)
        emit queueChanged();
    if (onLine)
        emit finished({*onLine, Outcome::cancelled, {}, why});
    for (const SmartCommand& command : waiting)
        emit finished({command, Outcome::cancelled, {}, why});
}

void CommandPump::lineOpened()
{
    const Busy busy(m_busy);
    m_running = true;
    m_displayHeard = false;
    m_parser = SmartParser();
    if (m_rawMode)
        m_log.info(tr("Rohdaten-Modus aktiv – keine Abfragen an das Display"));
    // The bare line ending makes the display show a fresh prompt.
    m_ownQueries.insert(send(QString()));
    if (m_refreshAtConnect)
        refreshAll();
    m_poll.start();
    schedulePoll();
}

void CommandPump::lineClosing()
{
    m_running = false;
    m_poll.cancel();
    cancelAll(LineSession::disconnectedText());
    m_ownQueries.clear();
    m_parser = SmartParser();
}

void CommandPump::setRawMode(bool on)
{
    if (on == m_rawMode)
        return;
    m_rawMode = on;
    if (on)
        cancelAll(tr("Rohdaten-Modus"));
    emit rawModeChanged();
    m_log.info(on ? tr("Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine SMART-Abfragen")
                  : tr("SMART-Modus: Befehle warten auf den Prompt „>“"));
}

void CommandPump::sendRaw(const QByteArray& bytes, const std::optional<QString>& text)
{
    // Bytes of a failed write are neither counted nor logged as sent, even when part
    // of them went out.
    if (!m_session.write(bytes))
        return;
    m_log.countSent(bytes.size());
    m_log.append(LogEntry::Kind::tx, text.value_or(LogEntry::printable(bytes)), bytes);
}

void CommandPump::sendHex(const QString& text)
{
    const auto bytes = parseHexBytes(text);
    if (!bytes) {
        m_log.error(invalidHexText(text));
        return;
    }
    sendRaw(*bytes);
}

void CommandPump::sendCustom(const QString& text)
{
    if (m_rawMode) {
        sendRaw(text.toUtf8() + lineEndingBytes(m_session.settings().lineEnding), text);
        return;
    }
    // Blanks only become the empty command: the bare line ending asks for a fresh prompt.
    send(text.trimmed());
}

void CommandPump::refreshAll()
{
    queryDeviceInfo();
    for (DisplaySetting setting : SmartCommand::statusQueries())
        m_ownQueries.insert(send(SmartCommand::query(setting)));
}

void CommandPump::queryDeviceInfo()
{
    for (DisplaySetting setting : SmartCommand::infoQueries())
        m_ownQueries.insert(send(SmartCommand::query(setting)));
}

void CommandPump::dropOwnQueries()
{
    const QList<SmartCommand> dropped = m_queue.takeIf([this](const SmartCommand& command) {
        return command.poll || m_ownQueries.contains(command.ticket);
    });
    if (dropped.isEmpty())
        return;
    m_log.info(tr("Kein Display antwortet – %n weitere Abfrage(n) entfallen bis zur nächsten "
                  "Runde.",
                  nullptr, int(dropped.size())));
    emit queueChanged();
    for (const SmartCommand& command : dropped) {
        m_ownQueries.remove(command.ticket);
        emit finished({command, Outcome::cancelled, {}, tr("entfallen – kein Display antwortet")});
    }
}

void CommandPump::setPolling(const Polling& polling)
{
    if (polling == m_polling)
        return;
    m_polling = polling;
    emit pollingChanged();
}

void CommandPump::schedulePoll()
{
    // Read anew every round, so a changed interval takes effect with the next one.
    const double floor = m_displayResting ? restingPollSeconds : minimumPollSeconds;
    m_poll.after(std::max(m_polling.interval, floor), [this] { pollRound(); });
}

void CommandPump::setDisplayResting(bool resting)
{
    if (resting == m_displayResting)
        return;
    m_displayResting = resting;
    // The wait under way was meant for the other pace.
    if (m_running)
        schedulePoll();
}

void CommandPump::pollRound()
{
    // A busy line, a running line test or raw mode skip the round; nothing is caught up.
    if (m_polling.enabled && acceptsCommands() && !m_pollingHeld && isIdle()) {
        for (DisplaySetting setting : SmartCommand::cyclicPoll())
            send(SmartCommand{SmartCommand::query(setting), true});
    }
    schedulePoll();
}

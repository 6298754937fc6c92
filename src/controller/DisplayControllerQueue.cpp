// The command queue and the prompt handshake: one command on the line at a time,
// each waiting for the display's ">" or the response timeout.
#include "controller/DisplayController.h"

#include "serial/SerialPort.h"

#include <QLocale>

namespace {

// The idle pump sleeps until send() wakes it, or at most this long.
constexpr double idlePumpWaitSeconds = 3600;

bool isSetCommand(const QString& text)
{
    return text.toLower().startsWith(QStringLiteral("set "));
}

int timerMilliseconds(double seconds)
{
    return seconds > 0 ? int(std::min(std::ceil(seconds * 1000.0), 86'400'000.0)) : 0;
}

} // namespace

void DisplayController::send(const QString& text)
{
    if (!m_connection.is(ConnectionState::Case::connected) || m_rawMode)
        return;

    // Dragging a slider must not pile up commands: a waiting set command of the same
    // setting takes the new value in its place.
    bool merged = false;
    if (isSetCommand(text)) {
        if (const auto name = SmartCommand::settingName(text)) {
            for (qsizetype i = m_queue.size() - 1; i >= 0; --i) {
                const QString& queued = m_queue[i].text;
                if (isSetCommand(queued) && SmartCommand::settingName(queued) == name) {
                    m_queue[i].text = text;
                    merged = true;
                    break;
                }
            }
        }
    }
    if (!merged)
        m_queue.append({text});
    emit queueChanged();
    releaseWaiter(true);
}

void DisplayController::pumpStep()
{
    if (!m_pump.isRunning())
        return;
    if (m_queue.isEmpty()) {
        waitForPrompt(idlePumpWaitSeconds, [this] { pumpStep(); });
        return;
    }
    const SmartCommand command = m_queue.takeFirst();
    emit queueChanged();
    execute(command, [this] { afterCommand(); });
}

void DisplayController::afterCommand()
{
    const double pause = m_settings.interCommandDelay;
    if (pause > 0)
        m_pump.sleep(pause, [this] { pumpStep(); });
    else
        pumpStep();
}

void DisplayController::execute(const SmartCommand& command, std::function<void()> done)
{
    if (!m_port) {
        done();
        return;
    }
    update(m_current, std::optional(command), &DisplayController::currentChanged);

    const QByteArray bytes = command.text.toUtf8() + lineEndingBytes(m_settings.lineEnding);
    if (const auto error = m_port->write(bytes)) {
        update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);
        handleWriteError(*error);
        done();
        return;
    }
    addTxCount(bytes.size());
    appendLog(LogEntry::Kind::tx,
              command.text.isEmpty() ? QStringLiteral("(Zeilenende \u2013 Prompt anfordern)")
                                     : command.text,
              bytes);

    const double timeout = m_settings.responseTimeout;
    waitForPrompt(timeout, [this, command, timeout, done = std::move(done)] {
        if (m_current) {
            update(m_timeouts, m_timeouts + 1, &DisplayController::timeoutsChanged);
            const QString shown = command.text.isEmpty() ? QStringLiteral("\u23CE") : command.text;
            appendLog(LogEntry::Kind::error,
                      QStringLiteral("Keine Antwort auf \u201E") + shown +
                          QStringLiteral("\u201C nach ") +
                          QLocale().toString(timeout, 'g', QLocale::FloatingPointShortest) +
                          QStringLiteral(" s \u2013 Kabel (kein Nullmodem!), Baudrate, "
                                         "Raumsteuerung pr\u00FCfen."));
            update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);
        }
        done();
    });
}

void DisplayController::waitForPrompt(double timeout, std::function<void()> resume)
{
    ++m_waiterGeneration;
    m_promptWaiter = std::move(resume);
    // One timer serves every wait: restarting it for a new wait is what keeps a late
    // timeout from releasing a later command's wait.
    m_promptTimerGeneration = m_waiterGeneration;
    m_promptTimer.start(timerMilliseconds(timeout));
}

void DisplayController::releaseWaiter(bool onlyIfIdle)
{
    if (onlyIfIdle && m_current)
        return;
    m_promptTimer.stop();
    if (auto waiter = std::exchange(m_promptWaiter, nullptr))
        m_pump.post(std::move(waiter));
}

void DisplayController::promptArrived()
{
    if (!m_current)
        return; // a late prompt after a timeout must not wake the idle pump
    update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);
    m_promptTimer.stop();
    if (auto waiter = std::exchange(m_promptWaiter, nullptr))
        m_pump.post(std::move(waiter));
}

void DisplayController::setRawMode(bool on)
{
    if (on == m_rawMode)
        return;
    m_rawMode = on;
    if (on) {
        update(m_queue, {}, &DisplayController::queueChanged);
        update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);
        releaseWaiter(false);
    }
    emit rawModeChanged();
    appendLog(LogEntry::Kind::info,
              on ? QStringLiteral(
                       "Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine SMART-Abfragen")
                 : QStringLiteral("SMART-Modus: Befehle warten auf den Prompt \u201E>\u201C"));
}

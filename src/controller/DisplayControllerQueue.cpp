// The command queue and the prompt handshake: one command on the line at a time,
// each waiting for the display's ">" or the response timeout.
#include "controller/DisplayController.h"

#include "line/Line.h"

#include <QLocale>

namespace {

// The idle pump sleeps until send() wakes it, or at most this long.
constexpr double idlePumpWaitSeconds = 3600;

} // namespace

void DisplayController::send(const QString& text)
{
    queueCommand({text});
}

void DisplayController::queueCommand(SmartCommand command)
{
    if (!m_connection.is(ConnectionState::Case::connected) || m_rawMode)
        return;
    m_queue.add(std::move(command));
    emit queueChanged();
    releaseWaiter(true);
}

void DisplayController::setCurrent(const std::optional<SmartCommand>& command)
{
    update(m_current, command, &DisplayController::currentChanged);
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
    execute(command);
}

void DisplayController::afterCommand()
{
    const double pause = m_settings.interCommandDelay;
    if (pause > 0)
        m_pump.sleep(pause, [this] { pumpStep(); });
    else
        pumpStep();
}

void DisplayController::execute(const SmartCommand& command)
{
    if (!m_line) {
        afterCommand();
        return;
    }
    setCurrent(command);

    const QByteArray bytes = command.text.toUtf8() + lineEndingBytes(m_settings.lineEnding);
    if (const auto error = m_line->write(bytes)) {
        setCurrent(std::nullopt);
        handleWriteError(*error);
        afterCommand();
        return;
    }
    addTxCount(bytes.size());
    appendLog(LogEntry::Kind::tx,
              command.text.isEmpty() ? QStringLiteral("(Zeilenende \u2013 Prompt anfordern)")
                                     : command.text,
              bytes, command.poll);

    const double timeout = m_settings.responseTimeout;
    waitForPrompt(timeout, [this, command, timeout] {
        if (m_current) {
            update(m_timeouts, m_timeouts + 1, &DisplayController::timeoutsChanged);
            const QString shown = command.text.isEmpty() ? QStringLiteral("\u23CE") : command.text;
            appendLog(LogEntry::Kind::error,
                      QStringLiteral("Keine Antwort auf \u201E") + shown +
                          QStringLiteral("\u201C nach ") +
                          QLocale().toString(timeout, 'g', QLocale::FloatingPointShortest) +
                          QStringLiteral(" s \u2013 Kabel (kein Nullmodem!), Baudrate, "
                                         "Raumsteuerung pr\u00FCfen."),
                      {}, command.poll);
            setCurrent(std::nullopt);
        }
        afterCommand();
    });
}

void DisplayController::waitForPrompt(double timeout, std::function<void()> resume)
{
    m_promptWaiter = std::move(resume);
    // One timer serves every wait: starting it for a new wait is what keeps a late
    // timeout from releasing a later command's wait.
    m_promptTimer->start(timeout, [this] { releaseWaiter(false); });
}

void DisplayController::releaseWaiter(bool onlyIfIdle)
{
    if (onlyIfIdle && m_current)
        return;
    m_promptTimer->stop();
    if (auto waiter = std::exchange(m_promptWaiter, nullptr))
        m_pump.post(std::move(waiter));
}

void DisplayController::promptArrived()
{
    if (!m_current)
        return; // a late prompt after a timeout must not wake the idle pump
    setCurrent(std::nullopt);
    releaseWaiter(false);
}

void DisplayController::setRawMode(bool on)
{
    if (on == m_rawMode)
        return;
    m_rawMode = on;
    if (on) {
        if (!m_queue.isEmpty()) {
            m_queue.clear();
            emit queueChanged();
        }
        setCurrent(std::nullopt);
        releaseWaiter(false);
    }
    emit rawModeChanged();
    appendLog(LogEntry::Kind::info,
              on ? QStringLiteral(
                       "Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine SMART-Abfragen")
                 : QStringLiteral("SMART-Modus: Befehle warten auf den Prompt \u201E>\u201C"));
}

// The line tests: test output for a terminal program on a second computer, and the
// bridge-plug loopback test.
#include "controller/DisplayController.h"

#include "serial/SerialPort.h"

#include <QLocale>

namespace {

// Shortest pause between test packets, whatever the interval field says.
constexpr double minimumTestIntervalSeconds = 0.05;
// Shortest pause between loopback packets.
constexpr double minimumLoopbackIntervalSeconds = 0.02;
// An echo gets three times its line time plus 0.2 s, but never less than 0.3 s.
constexpr double echoTimeFactor = 3.0;
constexpr double echoSlackSeconds = 0.2;
constexpr double minimumEchoWaitSeconds = 0.3;
// Bits on the line per byte with start and stop bit (the estimate behind the deadline).
constexpr double bitsPerByte = 10.0;

const QString notConnectedForTest =
    QStringLiteral("Erst verbinden \u2013 Testbytes gehen auf die gew\u00E4hlte Schnittstelle.");

} // namespace

double DisplayController::secondsSince(std::chrono::steady_clock::time_point start) const
{
    return std::chrono::duration<double>(m_clock->monotonic() - start).count();
}

void DisplayController::setTestPattern(TestPattern pattern)
{
    update(m_testPattern, pattern, &DisplayController::testPatternChanged);
}

void DisplayController::setTestCustomText(const QString& text)
{
    update(m_testCustomText, text, &DisplayController::testCustomTextChanged);
}

void DisplayController::setTestCustomHex(const QString& text)
{
    update(m_testCustomHex, text, &DisplayController::testCustomHexChanged);
}

void DisplayController::setTestRepeat(bool on)
{
    update(m_testRepeat, on, &DisplayController::testRepeatChanged);
}

void DisplayController::setTestInterval(double seconds)
{
    update(m_testInterval, seconds, &DisplayController::testIntervalChanged);
}

void DisplayController::setTestSentCount(qint64 count)
{
    update(m_testSentCount, count, &DisplayController::testSentCountChanged);
}

QByteArray DisplayController::currentTestBytes() const
{
    return testPatternBytes(m_testPattern, m_testSentCount + 1, m_settings, m_testCustomText,
                            m_testCustomHex, now());
}

void DisplayController::sendTestOnce()
{
    if (!m_port) {
        appendLog(LogEntry::Kind::error, notConnectedForTest);
        return;
    }
    const QByteArray bytes = currentTestBytes();
    if (bytes.isEmpty()) {
        appendLog(LogEntry::Kind::error, QStringLiteral("Ung\u00FCltige Hex-Eingabe."));
        return;
    }
    if (const auto error = m_port->write(bytes)) {
        stopTest();
        handleWriteError(*error);
        return;
    }
    setTestSentCount(m_testSentCount + 1);
    addTxCount(bytes.size());
    appendLog(LogEntry::Kind::tx,
              QStringLiteral("Test #") + QString::number(m_testSentCount) + QStringLiteral(": ") +
                  LogEntry::printable(bytes),
              bytes);
}

void DisplayController::startTest()
{
    if (!m_connection.is(ConnectionState::Case::connected)) {
        appendLog(LogEntry::Kind::error, notConnectedForTest);
        return;
    }
    stopTest();
    update(m_testRunning, true, &DisplayController::testRunningChanged);
    appendLog(LogEntry::Kind::info,
              QStringLiteral("Testausgabe l\u00E4uft: ") + label(m_testPattern) +
                  QStringLiteral(", alle ") +
                  QLocale().toString(m_testInterval, 'g', QLocale::FloatingPointShortest) +
                  QStringLiteral(" s"));
    m_testTask.start();
    m_testTask.post([this] { scheduleTestPacket(); });
}

void DisplayController::scheduleTestPacket()
{
    if (!m_testRunning)
        return;
    sendTestOnce();
    m_testTask.sleep(std::max(m_testInterval, minimumTestIntervalSeconds),
                     [this] { scheduleTestPacket(); });
}

void DisplayController::stopTest()
{
    m_testTask.cancel();
    if (!m_testRunning)
        return;
    appendLog(LogEntry::Kind::info, QStringLiteral("Testausgabe gestoppt nach ") +
                                        QString::number(m_testSentCount) +
                                        QStringLiteral(" Paketen"));
    update(m_testRunning, false, &DisplayController::testRunningChanged);
}

void DisplayController::setLoopbackPacketSize(qint64 size)
{
    update(m_loopbackPacketSize, size, &DisplayController::loopbackPacketSizeChanged);
}

void DisplayController::setLoopbackInterval(double seconds)
{
    update(m_loopbackInterval, seconds, &DisplayController::loopbackIntervalChanged);
}

void DisplayController::startLoopback()
{
    if (!m_connection.is(ConnectionState::Case::connected)) {
        appendLog(LogEntry::Kind::error, QStringLiteral("Erst verbinden."));
        return;
    }
    stopTest();
    setRawMode(true);
    update(m_loopback, LoopbackStats(), &DisplayController::loopbackChanged);
    update(m_loopbackRunning, true, &DisplayController::loopbackRunningChanged);
    appendLog(LogEntry::Kind::info,
              QStringLiteral("Br\u00FCckentest l\u00E4uft: ") +
                  QString::number(m_loopbackPacketSize) + QStringLiteral(" Bytes je Paket, ") +
                  m_settings.summary() +
                  QStringLiteral(". Erwartet: jedes Byte kommt identisch zur\u00FCck."));
    m_loopbackTask.start();
    m_loopbackTask.post([this] { loopbackPacket(1); });
}

void DisplayController::loopbackPacket(qint64 sequence)
{
    if (!m_loopbackRunning)
        return;
    if (!m_port) {
        stopLoopback();
        return;
    }
    const QByteArray packet = LoopbackStats::packet(sequence, m_loopbackPacketSize);
    m_loopbackReceived.clear();
    const auto sentAt = m_clock->monotonic();
    if (const auto error = m_port->write(packet)) {
        stopLoopback();
        handleWriteError(*error);
        return;
    }
    addTxCount(packet.size());
    appendLog(LogEntry::Kind::tx,
              QStringLiteral("Br\u00FCckentest #") + QString::number(sequence) +
                  QStringLiteral(": ") + LogEntry::printable(packet),
              packet);
    LoopbackStats stats = m_loopback;
    stats.bytesSent += packet.size();
    update(m_loopback, stats, &DisplayController::loopbackChanged);

    const double baud = double(std::max<qint64>(m_settings.baudRate, 1));
    const double wait =
        std::max(double(packet.size()) * bitsPerByte / baud * echoTimeFactor + echoSlackSeconds,
                 minimumEchoWaitSeconds);
    const double remaining = wait - secondsSince(sentAt);

    // The wait ends as soon as the whole echo is there (woken by the receive handling),
    // at the deadline, or when the run stops.
    m_pendingEcho = PendingEcho{sequence, packet, sentAt};
    m_loopbackWait.start();
    if (m_loopbackReceived.size() >= packet.size())
        m_loopbackWait.post([this] { finishLoopbackPacket(); });
    else
        m_loopbackWait.sleep(remaining, [this] { finishLoopbackPacket(); });
}

void DisplayController::wakeLoopbackWait()
{
    // Finished right here, so the measured delay is the echo's, not the event loop's.
    if (m_pendingEcho && m_loopbackReceived.size() >= m_pendingEcho->packet.size())
        finishLoopbackPacket();
}

void DisplayController::finishLoopbackPacket()
{
    m_loopbackWait.cancel();
    if (!m_pendingEcho)
        return;
    const PendingEcho echo = *std::exchange(m_pendingEcho, std::nullopt);
    const QByteArray received = m_loopbackReceived;
    LoopbackStats stats = m_loopback;
    stats.bytesReceived += received.size();
    // A run stopped while waiting does not count its last packet as lost.
    if (!m_loopbackRunning && received.size() < echo.packet.size()) {
        update(m_loopback, stats, &DisplayController::loopbackChanged);
        return;
    }
    const LoopbackStats::Result result = LoopbackStats::evaluate(echo.packet, received);
    const double delay = secondsSince(echo.sentAt);
    stats.record(result, delay);
    update(m_loopback, stats, &DisplayController::loopbackChanged);
    if (result != LoopbackStats::Result::ok())
        appendLog(LogEntry::Kind::error, QStringLiteral("Br\u00FCckentest #") +
                                             QString::number(echo.sequence) + QStringLiteral(": ") +
                                             result.text(echo.packet.size(), received.size()));
    if (!m_loopbackRunning)
        return;
    const qint64 next = echo.sequence + 1;
    m_loopbackTask.sleep(std::max(m_loopbackInterval, minimumLoopbackIntervalSeconds),
                         [this, next] { loopbackPacket(next); });
}

void DisplayController::stopLoopback()
{
    m_loopbackTask.cancel();
    if (!m_loopbackRunning)
        return;
    appendLog(LogEntry::Kind::info,
              QStringLiteral("Br\u00FCckentest beendet: ") + m_loopback.summary());
    update(m_loopbackRunning, false, &DisplayController::loopbackRunningChanged);
    // A packet still waiting for its echo ends now, by the rule for a stopped run.
    finishLoopbackPacket();
}

// The line tests: test output for a terminal program on a second computer, and the
// bridge-plug loopback test.
#include "controller/DisplayController.h"

#include "line/Line.h"

#include <QLocale>

namespace {

// Shortest pause between test packets, whatever the interval field says.
constexpr double minimumTestIntervalSeconds = 0.05;
// Shortest pause between loopback packets.
constexpr double minimumLoopbackIntervalSeconds = 0.02;

const QString notConnectedForTest =
    QStringLiteral("Erst verbinden \u2013 Testbytes gehen auf die gew\u00E4hlte Schnittstelle.");

} // namespace

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
                            m_testCustomHex, m_clock->now().toLocalTime());
}

void DisplayController::sendTestOnce()
{
    if (!m_line) {
        appendLog(LogEntry::Kind::error, notConnectedForTest);
        return;
    }
    const QByteArray bytes = currentTestBytes();
    if (bytes.isEmpty()) {
        appendLog(LogEntry::Kind::error, QStringLiteral("Ung\u00FCltige Hex-Eingabe."));
        return;
    }
    if (const auto error = m_line->write(bytes)) {
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
    // A second start would mix an old echo into the new statistics and run two chains
    // of packets side by side.
    if (m_loopbackRunning)
        return;
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

void DisplayController::recordLoopback(const std::function<void(LoopbackStats&)>& change)
{
    LoopbackStats stats = m_loopback;
    change(stats);
    update(m_loopback, stats, &DisplayController::loopbackChanged);
}

void DisplayController::loopbackPacket(qint64 sequence)
{
    if (!m_loopbackRunning)
        return;
    if (!m_line) {
        stopLoopback();
        return;
    }
    const QByteArray packet = LoopbackStats::packet(sequence, m_loopbackPacketSize);
    const auto sentAt = m_clock->monotonic();
    if (const auto error = m_line->write(packet)) {
        stopLoopback();
        handleWriteError(*error);
        return;
    }
    addTxCount(packet.size());
    appendLog(LogEntry::Kind::tx,
              QStringLiteral("Br\u00FCckentest #") + QString::number(sequence) +
                  QStringLiteral(": ") + LogEntry::printable(packet),
              packet);
    recordLoopback([&](LoopbackStats& stats) { stats.bytesSent += packet.size(); });

    // Bytes that came before this packet went out belong to no packet. The wait ends as
    // soon as the whole echo is there (the receive handling finishes it), at the
    // deadline, or when the run stops.
    m_pendingEcho = PendingEcho{sequence, packet, sentAt, {}};
    m_loopbackWait.start();
    const double deadline = PendingEcho::waitSeconds(packet.size(), m_settings.baudRate);
    const double writing = std::chrono::duration<double>(m_clock->monotonic() - sentAt).count();
    m_loopbackWait.sleep(deadline - writing, [this] { finishLoopbackPacket(); });
}

void DisplayController::finishLoopbackPacket()
{
    m_loopbackWait.cancel();
    if (!m_pendingEcho)
        return;
    const PendingEcho echo = *std::exchange(m_pendingEcho, std::nullopt);
    // A run stopped while waiting does not count its last packet as lost.
    if (!m_loopbackRunning && !echo.isComplete()) {
        recordLoopback([&](LoopbackStats& stats) { stats.bytesReceived += echo.received.size(); });
        return;
    }
    const LoopbackStats::Result result = LoopbackStats::evaluate(echo.packet, echo.received);
    const double delay = std::chrono::duration<double>(m_clock->monotonic() - echo.sentAt).count();
    recordLoopback([&](LoopbackStats& stats) {
        stats.bytesReceived += echo.received.size();
        stats.record(result, delay);
    });
    if (result != LoopbackStats::Result::ok())
        appendLog(LogEntry::Kind::error, QStringLiteral("Br\u00FCckentest #") +
                                             QString::number(echo.sequence) + QStringLiteral(": ") +
                                             result.text(echo.packet.size(), echo.received.size()));
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

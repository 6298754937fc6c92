#include "controller/LineTester.h"

#include "controller/Clock.h"
#include "controller/CommandPump.h"
#include "controller/LineSession.h"
#include "controller/TrafficLog.h"
#include "protocol/HexBytes.h"

#include <QLocale>

namespace {

// Shortest pause between loopback packets.
constexpr double minimumLoopbackIntervalSeconds = 0.02;

QString notConnectedForTest()
{
    return LineTester::tr("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
}

} // namespace

LineTester::LineTester(LineSession& session, CommandPump& pump, TrafficLog& log,
                       std::shared_ptr<const Clock> clock, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_pump(pump)
    , m_log(log)
    , m_clock(std::move(clock))
    , m_testTask(this, *m_clock)
    , m_loopbackTask(this, *m_clock)
    , m_loopbackWait(this, *m_clock)
{
    connect(&session, &LineSession::closing, this, &LineTester::stopAll);
    connect(&session, &LineSession::connectionChanged, this, [this] {
        if (m_lineEchoes && !m_session.connection().is(ConnectionState::Case::connected)) {
            m_lineEchoes = false;
            emit lineEchoesChanged();
        }
    });
}

QString LineTester::packetName(qint64 sequence)
{
    return tr("Brückentest #%1").arg(sequence);
}

void LineTester::stopAll()
{
    stopTest();
    stopLoopback();
}

void LineTester::setRunning(bool& flag, bool on)
{
    const bool was = isRunning();
    flag = on;
    if (isRunning() != was)
        emit runningChanged();
}

void LineTester::setTestOutput(const TestOutput& output)
{
    if (output == m_testOutput)
        return;
    m_testOutput = output;
    emit testOutputChanged();
}

void LineTester::setTestSentCount(qint64 count)
{
    if (count == m_testSentCount)
        return;
    m_testSentCount = count;
    emit testProgressChanged();
}

QByteArray LineTester::currentTestBytes() const
{
    return testPatternBytes(m_testOutput.pattern, m_testSentCount + 1, m_session.settings(),
                            m_testOutput.customText, m_testOutput.customHex,
                            m_clock->now().toLocalTime());
}

void LineTester::sendTestOnce()
{
    if (!m_session.isOpen()) {
        m_log.error(notConnectedForTest());
        return;
    }
    const QByteArray bytes = currentTestBytes();
    if (bytes.isEmpty()) {
        m_log.error(invalidHexText() + u'.');
        return;
    }
    if (!m_session.write(bytes)) {
        stopTest();
        return;
    }
    setTestSentCount(m_testSentCount + 1);
    m_log.countSent(bytes.size());
    m_log.append(LogEntry::Kind::tx,
                 tr("Test #%1: %2").arg(m_testSentCount).arg(LogEntry::printable(bytes)), bytes);
}

void LineTester::startTest()
{
    if (!m_session.connection().is(ConnectionState::Case::connected)) {
        m_log.error(notConnectedForTest());
        return;
    }
    stopTest();
    setRunning(m_testRunning, true);
    emit testProgressChanged();
    m_log.info(
        tr("Testausgabe läuft: %1, alle %2 s")
            .arg(label(m_testOutput.pattern),
                 QLocale().toString(m_testOutput.interval, 'g', QLocale::FloatingPointShortest)));
    m_testTask.start();
    m_testTask.post([this] { scheduleTestPacket(); });
}

void LineTester::scheduleTestPacket()
{
    if (!m_testRunning)
        return;
    sendTestOnce();
    m_testTask.after(std::max(m_testOutput.interval, minimumTestInterval),
                     [this] { scheduleTestPacket(); });
}

void LineTester::stopTest()
{
    m_testTask.cancel();
    if (!m_testRunning)
        return;
    m_log.info(tr("Testausgabe gestoppt nach %1 Paketen").arg(m_testSentCount));
    setRunning(m_testRunning, false);
    emit testProgressChanged();
}

void LineTester::setLoopbackOptions(const LoopbackOptions& options)
{
    if (options == m_loopbackOptions)
        return;
    m_loopbackOptions = options;
    emit loopbackChanged();
}

void LineTester::startLoopback()
{
    if (!m_session.connection().is(ConnectionState::Case::connected)) {
        m_log.error(tr("Erst verbinden."));
        return;
    }
    // A second start would mix an old echo into the new statistics and run two chains
    // of packets side by side.
    if (m_loopbackRunning)
        return;
    stopTest();
    m_rawBeforeLoopback = m_pump.rawMode();
    m_pump.setRawMode(true);
    m_loopback = LoopbackStats();
    setRunning(m_loopbackRunning, true);
    emit loopbackChanged();
    m_log.info(tr("Brückentest läuft: %1 Bytes je Paket, %2. Erwartet: jedes Byte kommt "
                  "identisch zurück.")
                   .arg(m_loopbackOptions.packetSize)
                   .arg(m_session.settings().summary()));
    m_loopbackTask.start();
    m_loopbackTask.post([this] { loopbackPacket(1); });
}

void LineTester::recordLoopback(const std::function<void(LoopbackStats&)>& change)
{
    LoopbackStats stats = m_loopback;
    change(stats);
    if (stats == m_loopback)
        return;
    m_loopback = stats;
    emit loopbackChanged();
}

void LineTester::loopbackPacket(qint64 sequence)
{
    if (!m_loopbackRunning)
        return;
    if (!m_session.isOpen()) {
        stopLoopback();
        return;
    }
    const QByteArray packet = LoopbackStats::packet(sequence, m_loopbackOptions.packetSize);
    // The log's text is made before the clock starts: it is no part of the echo's delay.
    QString logged = packetName(sequence) + QStringLiteral(": ") + LogEntry::printable(packet);
    const auto sentAt = m_clock->monotonic();
    if (!m_session.write(packet)) {
        stopLoopback();
        return;
    }
    // Bytes that came before this packet went out belong to no packet. The wait ends as
    // soon as the whole echo is there (received() finishes it), at the deadline, or when
    // the run stops.
    m_pendingEcho = PendingEcho{sequence, packet, sentAt, {}};
    m_loopbackWait.start();
    const double deadline = PendingEcho::waitSeconds(packet.size(), m_session.settings().baudRate);
    const double writing = std::chrono::duration<double>(m_clock->monotonic() - sentAt).count();
    m_loopbackWait.after(deadline - writing, [this] { finishLoopbackPacket(); });

    m_log.countSent(packet.size());
    m_log.append(LogEntry::Kind::tx, std::move(logged), packet);
    recordLoopback([&](LoopbackStats& stats) { stats.bytesSent += packet.size(); });
}

void LineTester::received(const QByteArray& chunk, Clock::TimePoint arrived)
{
    if (!m_loopbackRunning || !m_pendingEcho)
        return;
    m_pendingEcho->received += chunk;
    // The delay is the echo's, not the event loop's nor the log's. A display's refusal is
    // judged as soon as it is there: it is shorter than the packet.
    if (m_pendingEcho->isComplete() ||
        LoopbackStats::evaluate(m_pendingEcho->packet, m_pendingEcho->received) ==
            LoopbackStats::Result::display())
        finishLoopbackPacket(arrived);
}

void LineTester::finishLoopbackPacket(std::optional<Clock::TimePoint> arrived)
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
    const double delay =
        std::chrono::duration<double>(arrived.value_or(m_clock->monotonic()) - echo.sentAt).count();
    recordLoopback([&](LoopbackStats& stats) {
        stats.bytesReceived += echo.received.size();
        stats.record(result, delay);
    });
    if (result == LoopbackStats::Result::ok() && !m_lineEchoes) {
        m_lineEchoes = true;
        emit lineEchoesChanged();
    }
    if (result != LoopbackStats::Result::ok())
        m_log.error(packetName(echo.sequence) + QStringLiteral(": ") +
                    result.text(echo.packet.size(), echo.received.size()));
    // More packets would only give the display more junk commands.
    if (result == LoopbackStats::Result::display())
        stopLoopback();
    if (!m_loopbackRunning)
        return;
    const qint64 next = echo.sequence + 1;
    m_loopbackTask.after(std::max(m_loopbackOptions.interval, minimumLoopbackIntervalSeconds),
                         [this, next] { loopbackPacket(next); });
}

void LineTester::stopLoopback()
{
    m_loopbackTask.cancel();
    if (!m_loopbackRunning)
        return;
    m_log.info(tr("Brückentest beendet: %1").arg(m_loopback.summary()));
    setRunning(m_loopbackRunning, false);
    emit loopbackChanged();
    // A packet still waiting for its echo ends now, by the rule for a stopped run.
    finishLoopbackPacket();
    // The test chose raw mode for itself; the user's choice comes back.
    m_pump.setRawMode(m_rawBeforeLoopback);
}

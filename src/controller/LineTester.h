#pragma once

#include "controller/Activity.h"
#include "controller/Clock.h"
#include "linetest/LoopbackStats.h"
#include "linetest/PendingEcho.h"
#include "linetest/TestPattern.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class CommandPump;
class LineSession;
class TrafficLog;

// The line tests: test output for a terminal program on a second computer, and the
// bridge-plug loopback test, which sends numbered packets and judges their echoes.
class LineTester : public QObject {
    Q_OBJECT

public:
    // Shortest pause between test packets: faster, the far end's terminal only scrolls.
    static constexpr double minimumTestInterval = 0.05;

    struct TestOutput {
        TestPattern pattern = TestPattern::counterLine;
        QString customText = QStringLiteral("Hallo PuTTY – Bildwart");
        QString customHex = QStringLiteral("48 61 6C 6C 6F 0D 0A");
        bool repeat = false;
        double interval = 1.0; // seconds between packets
        bool operator==(const TestOutput&) const = default;
    };
    struct LoopbackOptions {
        qint64 packetSize = 32;
        double interval = 0.2; // seconds between packets
        bool operator==(const LoopbackOptions&) const = default;
    };

    LineTester(LineSession& session, CommandPump& pump, TrafficLog& log,
               std::shared_ptr<const Clock> clock, QObject* parent = nullptr);

    // Either test runs.
    bool isRunning() const { return m_testRunning || m_loopbackRunning; }

    const TestOutput& testOutput() const { return m_testOutput; }
    void setTestOutput(const TestOutput& output);
    qint64 testSentCount() const { return m_testSentCount; }
    void setTestSentCount(qint64 count);
    bool testRunning() const { return m_testRunning; }
    // The next packet's bytes.
    QByteArray currentTestBytes() const;
    void sendTestOnce();
    void startTest();
    void stopTest();

    const LoopbackOptions& loopbackOptions() const { return m_loopbackOptions; }
    void setLoopbackOptions(const LoopbackOptions& options);
    const LoopbackStats& loopback() const { return m_loopback; }
    bool loopbackRunning() const { return m_loopbackRunning; }
    // Switches raw mode on: the display's protocol has no place in a loopback run.
    void startLoopback();
    void stopLoopback();
    // A bridge-test packet came back whole on this connection: the line sends back what it
    // is given, so what answers is no display.
    bool lineEchoes() const { return m_lineEchoes; }

    // "Brückentest #7": how the log and the tool name a packet.
    static QString packetName(qint64 sequence);

    // Bytes from the line, for the packet waiting for its echo; `arrived` is when they came,
    // before anything else was done with them.
    void received(const QByteArray& chunk, Clock::TimePoint arrived);

signals:
    void testOutputChanged();
    void testProgressChanged(); // running, or the packet count
    void loopbackChanged();     // running, options or statistics
    void runningChanged();
    void lineEchoesChanged();

private:
    void setRunning(bool& flag, bool on);
    void scheduleTestPacket();
    void loopbackPacket(qint64 sequence);
    void finishLoopbackPacket(std::optional<Clock::TimePoint> arrived = std::nullopt);
    void recordLoopback(const std::function<void(LoopbackStats&)>& change);
    void stopAll();

    LineSession& m_session;
    CommandPump& m_pump;
    TrafficLog& m_log;
    std::shared_ptr<const Clock> m_clock;

    TestOutput m_testOutput;
    qint64 m_testSentCount = 0;
    bool m_testRunning = false;
    LoopbackOptions m_loopbackOptions;
    LoopbackStats m_loopback;
    bool m_loopbackRunning = false;
    bool m_rawBeforeLoopback = false;
    bool m_lineEchoes = false;
    // The packet that waits for its echo; its wait ends early when the echo is whole.
    std::optional<PendingEcho> m_pendingEcho;

    Activity m_testTask;
    Activity m_loopbackTask;
    Activity m_loopbackWait;
};

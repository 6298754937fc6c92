#include "cli/commands/LoopbackCommand.h"

#include "cli/commands/Session.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/LineTester.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

// What the loopback bar starts with.
constexpr qint64 defaultPacketSize = 32;
// Two seconds of packets at the controller's 0.2 s pause: enough to see a pattern.
constexpr qint64 defaultCount = 10;

QJsonValue secondsOrNull(std::optional<double> seconds)
{
    return seconds ? QJsonValue(*seconds) : QJsonValue(QJsonValue::Null);
}

QString milliseconds(double seconds)
{
    return QCoreApplication::translate("LoopbackCommand", "%1 ms")
        .arg(QLocale().toString(seconds * 1000.0, 'f', 1));
}

} // namespace

LoopbackCommand::LoopbackCommand(Session& session)
    : m_session(session)
    , m_count(session.invocation().count.value_or(defaultCount))
{
    m_session.setTerminationHandler([this] { end(); });
}

void LoopbackCommand::start()
{
    // Raw from the start, so that not one query goes out onto the bridge.
    if (m_session.prepare(false))
        m_session.connectLine(true, [this] { run(); });
}

void LoopbackCommand::run()
{
    LineTester& tester = m_session.controller().tester();
    LineTester::LoopbackOptions options = tester.loopbackOptions();
    options.packetSize = m_session.invocation().packetSize.value_or(defaultPacketSize);
    tester.setLoopbackOptions(options);
    QObject::connect(&tester, &LineTester::loopbackChanged, &m_session, [this] {
        onStatsChanged();
        onRunningChanged();
    });
    tester.startLoopback();
}

void LoopbackCommand::onStatsChanged()
{
    const LineTester& tester = m_session.controller().tester();
    const LoopbackStats& stats = tester.loopback();
    if (stats.sent <= m_evaluated || !stats.lastResult)
        return; // bytes sent for the next packet, or a fresh start
    m_evaluated = stats.sent;
    const qint64 received = stats.bytesReceived - m_bytesReceived;
    m_bytesReceived = stats.bytesReceived;
    if (*stats.lastResult == LoopbackStats::Result::ok()) {
        m_times.add(stats.lastLatency.value_or(0.0));
    } else if (!m_session.invocation().json) {
        // Packets are numbered from 1, one per evaluation.
        const qint64 expected =
            LoopbackStats::packet(stats.sent, tester.loopbackOptions().packetSize).size();
        m_session.console().out(LineTester::packetName(stats.sent) + QStringLiteral(": ") +
                                stats.lastResult->text(expected, received));
    }
    if (stats.sent >= m_count)
        QMetaObject::invokeMethod(
            &m_session, [this] { end(); }, Qt::QueuedConnection);
}

void LoopbackCommand::onRunningChanged()
{
    // Stopped by the controller itself: a write failed or the port went away.
    if (m_session.controller().tester().loopbackRunning() || m_ending)
        return;
    QMetaObject::invokeMethod(
        &m_session, [this] { end(); }, Qt::QueuedConnection);
}

void LoopbackCommand::end()
{
    if (m_ending || m_session.isFinishing())
        return;
    m_ending = true;
    LineTester& tester = m_session.controller().tester();
    // Stopped by itself for a display that answered is a verdict, not a failed line.
    const bool stoppedByItself = !tester.loopbackRunning() &&
                                 tester.loopback().lastResult != LoopbackStats::Result::display();
    tester.stopLoopback();
    // The packets' own error entries are already printed above, as the result.
    const QStringList errors = m_session.takeErrors();
    if (stoppedByItself && m_evaluated < m_count && !errors.isEmpty()) {
        m_session.console().err(
            QCoreApplication::translate("LoopbackCommand", "Brückentest abgebrochen: %1")
                .arg(errors.last()));
        m_session.finish(ExitCode::portFailed);
        return;
    }
    printSummary();
    const LoopbackStats& stats = tester.loopback();
    if (stats.sent > 0 && stats.ok == stats.sent) {
        m_session.finish(ExitCode::success);
        return;
    }
    m_session.console().err(
        stats.sent == 0
            ? QCoreApplication::translate("LoopbackCommand",
                                          "Brückentest beendet, bevor ein Paket geprüft war.")
            : QCoreApplication::translate("LoopbackCommand",
                                          "Brückentest: %1 von %2 Paketen nicht in Ordnung.")
                  .arg(stats.sent - stats.ok)
                  .arg(stats.sent));
    m_session.finish(ExitCode::displayFailed);
}

void LoopbackCommand::printSummary()
{
    const LoopbackStats& stats = m_session.controller().tester().loopback();
    const std::optional<int> latencyTimer = m_session.controller().line().adapterLatencyTimerMs();
    Console& console = m_session.console();
    if (m_session.invocation().json) {
        const QJsonObject result{{"sent", stats.sent},
                                 {"ok", stats.ok},
                                 {"faulty", stats.faulty},
                                 {"lost", stats.lost},
                                 {"bytesSent", stats.bytesSent},
                                 {"bytesReceived", stats.bytesReceived},
                                 {"minLatency", secondsOrNull(stats.minLatency)},
                                 {"medianLatency", secondsOrNull(m_times.median())},
                                 {"maxLatency", secondsOrNull(stats.maxLatency)},
                                 {"latencyTimerMs", latencyTimer ? QJsonValue(*latencyTimer)
                                                                 : QJsonValue(QJsonValue::Null)}};
        console.outJson(result);
        return;
    }
    console.out(stats.summary());
    if (stats.minLatency && stats.maxLatency && m_times.median())
        console.out(QCoreApplication::translate("LoopbackCommand",
                                                "Umlaufzeit: min %1 · Median %2 · max %3")
                        .arg(milliseconds(*stats.minLatency), milliseconds(*m_times.median()),
                             milliseconds(*stats.maxLatency)));
    else
        console.out(QCoreApplication::translate(
            "LoopbackCommand", "Umlaufzeit: – (kein Paket kam in Ordnung zurück)"));
    // The adapter's own wait is part of every round trip.
    if (latencyTimer)
        console.out((*latencyTimer > 1
                         ? QCoreApplication::translate(
                               "LoopbackCommand",
                               "Wartezeit des Wandlers (latency_timer): %1 ms – „bildwartctl "
                               "doctor“ sagt, wie 1 ms dauerhaft gilt")
                         : QCoreApplication::translate(
                               "LoopbackCommand", "Wartezeit des Wandlers (latency_timer): %1 ms"))
                        .arg(*latencyTimer));
}

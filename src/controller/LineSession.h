#pragma once

#include "controller/Activity.h"
#include "controller/values/ConnectionState.h"
#include "controller/values/DropoutHistory.h"
#include "controller/values/ReconnectPlan.h"
#include "line/LineAddress.h"
#include "line/LineError.h"
#include "line/SerialSettings.h"
#include "protocol/DisplaySeries.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class Line;
class PortDoctor;
class PortList;
class TrafficLog;

// The line to the display: opening and closing it, its settings, dropouts of a flaky
// adapter or network, and the reconnection attempts when it comes back. A gateway on the
// network is not a display: a network line counts as back only once the display behind it
// answered. Whoever speaks over the line listens to opened(), closing() and received().
class LineSession : public QObject {
    Q_OBJECT

public:
    using LineMaker = std::function<std::unique_ptr<Line>(
        const LineAddress& address, const SerialSettings& settings, DisplaySeries series)>;

    struct Stored {
        SerialSettings settings = SerialSettings::smartStandard();
        bool autoReconnect = true;
        QString lastPath; // the last hardware port or address connected
    };

    LineSession(PortList& ports, TrafficLog& log, std::shared_ptr<const Clock> clock,
                std::shared_ptr<PortDoctor> doctor, LineMaker makeLine, Stored stored,
                QObject* parent = nullptr);
    ~LineSession() override;

    const SerialSettings& settings() const { return m_stored.settings; }
    // Applies at once, also to the open line.
    void setSettings(const SerialSettings& settings);
    bool autoReconnect() const { return m_stored.autoReconnect; }
    void setAutoReconnect(bool on);
    const QString& lastPath() const { return m_stored.lastPath; }
    // Without hot-plug (a server holding many lines) nobody says when an adapter is back:
    // it is tried as long as a gateway is, and its path's existence stands for the port list.
    void setHotplugWatched(bool on) { m_hotplugWatched = on; }
    // The series the simulated display plays.
    void setSimulatedSeries(DisplaySeries series) { m_simulatedSeries = series; }

    // Opens the line (an open one is closed first).
    void open(const LineAddress& address);
    // Closes the line and ends any waiting for it ("Trennen", "Nicht mehr warten").
    void close();
    // An address that cannot be opened at all: says why, as a failed connect does.
    void refuse(const QString& why);
    // Waits for `address` to appear (at start-up, a remembered adapter not plugged in).
    void waitFor(const LineAddress& address);
    // The display answered on the open line; a network line's reconnection counts from now.
    void displayAnswered();

    const ConnectionState& connection() const { return m_connection; }
    bool isOpen() const { return m_line != nullptr; }
    // What the open line was opened by; nothing while none is open.
    const std::optional<LineAddress>& openAddress() const { return m_openAddress; }
    QString openPath() const { return m_openAddress ? m_openAddress->text() : QString(); }
    // What the user wants to be connected to, kept through dropouts; none for simulators.
    const std::optional<LineAddress>& wanted() const { return m_wanted; }
    std::optional<QString> wantedPath() const;
    // The line (open or wanted) runs through a network gateway rather than an adapter: the
    // words of the messages follow it.
    bool isNetwork() const;

    // Writes all bytes. A failure is logged, and a line that has gone counts as a
    // dropout (handled from the event loop, after the caller has returned).
    bool write(const QByteArray& bytes);

    // Bytes came from the line since it opened.
    bool hearsBytes() const { return m_hearsBytes; }
    // When bytes last came, on this line or an earlier one.
    const std::optional<QDateTime>& lastReceived() const { return m_lastReceived; }

    const DropoutHistory& dropouts() const { return m_dropouts; }
    // Every dropout since the program started (the history keeps only the recent ones).
    qint64 dropoutsTotal() const { return m_dropoutsTotal; }
    bool hasRepeatedDropouts() const;
    int reconnects() const { return m_reconnects; }
    void resetDropouts();

    // A gateway's own words (not the display's) are worth a line once per series of
    // attempts, not once per attempt: true the first time this text comes in it.
    bool isNewGatewayMessage(const QString& text);

    // What the user reads when there is no line (for a raw write, and as why the controls
    // send nothing), and when the line closes (in the log, and as why the waiting commands
    // were dropped).
    static QString notConnectedText();
    static QString disconnectedText();

    // How long the connected adapter holds received bytes (FTDI's latency_timer, ms);
    // read when asked: a one-shot command should not pay for looking at the adapter.
    std::optional<int> adapterLatencyTimerMs() const;

signals:
    void connectionChanged();
    void opened();
    // The line is about to close: whoever speaks over it stops now.
    void closing();
    void received(const QByteArray& chunk);
    void hearingChanged(); // hearsBytes() or lastReceived()
    void dropoutsChanged();
    void settingsChanged();
    void storedChanged(); // auto-reconnect or the last path

private:
    void openLine(const LineAddress& address, bool isReconnect, std::function<void()> after = {});
    void finishOpening(const LineAddress& address, std::optional<LineError> error);
    void tearDown(bool quiet);
    void lose(const QString& lineReason);
    void onLineError(const LineError& error);
    void onHotplug();
    void startReconnecting();
    ReconnectPlan plan() const;
    // Whether a port is there to try: listed, or without hot-plug, its path exists.
    bool isPresent(const LineAddress& address) const;
    void attempt(const LineAddress& target, int number);
    void afterAttempt(const LineAddress& target, int number, bool listed);
    void succeeded(int attempt);
    void handleReceived(const QByteArray& chunk);
    void watchForModemProbe(const QByteArray& chunk);
    void setConnection(const ConnectionState& state);

    PortList& m_ports;
    TrafficLog& m_log;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<PortDoctor> m_doctor;
    LineMaker m_makeLine;
    Stored m_stored;
    DisplaySeries m_simulatedSeries = DisplaySeries::qx;
    bool m_hotplugWatched = true;

    ConnectionState m_connection;
    std::optional<LineAddress> m_wanted;
    DropoutHistory m_dropouts;
    qint64 m_dropoutsTotal = 0;
    int m_reconnects = 0;
    bool m_hearsBytes = false;
    std::optional<QDateTime> m_lastReceived;
    // A reconnection attempt opened a network line whose display has not answered yet:
    // its number, until the display answers (success) or the line closes (a failure).
    std::optional<int> m_unconfirmedAttempt;
    QSet<QString> m_gatewayMessages; // shown in this series
    QString m_gatewaySaid;           // on the open line, before any display spoke

    std::unique_ptr<Line> m_openingLine;
    std::unique_ptr<Line> m_line;
    std::optional<LineAddress> m_openAddress;
    quint64 m_openings = 0; // lines opened so far: tells a late report of an old line
    // The first bytes received on a serial device since connecting, watched for the
    // probes of ModemManager; the path is cleared once told.
    QByteArray m_receivedAfterConnect;
    QString m_examinedPath;
    Activity m_reconnect;
};

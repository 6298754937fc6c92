#pragma once

#include "controller/Activity.h"
#include "controller/values/ConnectionState.h"
#include "controller/values/DropoutHistory.h"
#include "controller/values/ReconnectPlan.h"
#include "line/SerialPortError.h"
#include "line/SerialSettings.h"
#include "protocol/DisplaySeries.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class DisplaySimulator;
class Line;
class PortDoctor;
class PortList;
class TrafficLog;

// The line to the display: opening and closing it, its settings, dropouts of a flaky
// adapter or network, and the bounded series of reconnection attempts when it comes back.
// Whoever speaks over the line listens to opened(), closing() and received().
class LineSession : public QObject {
    Q_OBJECT

public:
    using LineMaker =
        std::function<std::unique_ptr<Line>(const QString& device, const SerialSettings&)>;

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
    // The series the simulated display plays.
    void setSimulatedSeries(DisplaySeries series) { m_simulatedSeries = series; }

    // Opens `path` (a device, a network address, a simulator); an open line is closed
    // first. Without a path nothing happens.
    void open(const QString& path);
    // Closes the line and ends any waiting for it ("Trennen", "Nicht mehr warten").
    void close();
    // Waits for `path` to appear (at start-up, a remembered adapter not plugged in).
    void waitFor(const QString& path);

    const ConnectionState& connection() const { return m_connection; }
    bool isOpen() const { return m_line != nullptr; }
    // What is said when something needs the line and there is none (in the log, and as why
    // the controls send nothing), and when the line closes (in the log, and as why the
    // waiting commands were dropped).
    static QString notConnectedText();
    static QString disconnectedText();
    // The path the open line was chosen by; empty while none is open.
    const QString& openPath() const { return m_openPath; }
    // What the user wants to be connected to, kept through dropouts; none for simulators.
    const std::optional<QString>& wantedPath() const { return m_wantedPath; }

    // Writes all bytes. A failure is logged, and a line that has gone counts as a
    // dropout (handled from the event loop, after the caller has returned).
    bool write(const QByteArray& bytes);

    // Bytes came from the line since it opened.
    bool hearsBytes() const { return m_hearsBytes; }
    // When bytes last came, on this line or an earlier one.
    const std::optional<QDateTime>& lastReceived() const { return m_lastReceived; }

    const DropoutHistory& dropouts() const { return m_dropouts; }
    bool hasRepeatedDropouts() const;
    int reconnects() const { return m_reconnects; }
    void resetDropouts();

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
    void openLine(const QString& path, bool isReconnect, std::function<void()> after = {});
    void finishOpening(const QString& path, std::optional<SerialPortError> error);
    void tearDown(bool quiet);
    void lose(const std::optional<QString>& reason);
    void onHotplug();
    void startReconnecting();
    ReconnectPlan plan(const QString& target) const;
    void attempt(const QString& target, int number);
    void afterAttempt(const QString& target, int number, bool listed);
    void handleReceived(const QByteArray& chunk);
    void watchForModemProbe(const QByteArray& chunk);
    void setConnection(const ConnectionState& state);
    void setWanted(const std::optional<QString>& path);
    bool isNetwork(const std::optional<QString>& path) const;

    PortList& m_ports;
    TrafficLog& m_log;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<PortDoctor> m_doctor;
    LineMaker m_makeLine;
    Stored m_stored;

    ConnectionState m_connection;
    std::optional<QString> m_wantedPath;
    DropoutHistory m_dropouts;
    int m_reconnects = 0;
    bool m_hearsBytes = false;
    std::optional<QDateTime> m_lastReceived;

    std::unique_ptr<DisplaySimulator> m_simulator;
    std::unique_ptr<Line> m_openingLine;
    std::unique_ptr<Line> m_line;
    QString m_openPath;
    quint64 m_openings = 0; // lines opened so far: tells a late report of an old line
    DisplaySeries m_simulatedSeries = DisplaySeries::qx;
    QString m_devicePath; // the device node's path while connected to one
    // The first bytes received on a serial device since connecting, watched for the
    // probes of ModemManager; the path is cleared once told.
    QByteArray m_receivedAfterConnect;
    QString m_examinedPath;
    Activity m_reconnect;
};

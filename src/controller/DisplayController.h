#pragma once

#include "controller/Activity.h"
#include "controller/Clock.h"
#include "controller/ConnectionState.h"
#include "controller/LogBuffer.h"
#include "controller/LogEntry.h"
#include "diagnostics/LoopbackStats.h"
#include "diagnostics/TestPattern.h"
#include "protocol/DisplaySeries.h"
#include "protocol/PowerState.h"
#include "protocol/SmartCommand.h"
#include "protocol/SmartParser.h"
#include "serial/SerialPortError.h"
#include "serial/SerialPortInfo.h"
#include "serial/SerialSettings.h"
#include "serial/UnboundAdapter.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSettings>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DisplaySimulator;
class HotplugSource;
class PortScanner;
class SerialPort;

// What the application chooses when it creates the controller; tests and the
// command-line tool choose differently.
struct ControllerOptions {
    // Connect to the remembered adapter after construction (or wait for it).
    bool connectAtStartup = true;
    std::shared_ptr<const Clock> clock;
    // The system's device tree when not given.
    std::shared_ptr<PortScanner> scanner;
    // The system's USB hot-plug events when not given.
    std::shared_ptr<HotplugSource> hotplug;
    // React to hot-plug events (a one-shot command-line run does not need to).
    bool watchHotplug = true;
};

// The one object that owns the line, the command queue, the known display state,
// polling, reconnection and the traffic log. Lives on the main thread; every
// property announces its change through its own signal, and assigning an equal
// value announces nothing.
class DisplayController : public QObject {
    Q_OBJECT

public:
    using ConnectionState = ::ConnectionState;

    // The store holds the persisted keys; it must outlive the controller.
    explicit DisplayController(QSettings& store, ControllerOptions options = {},
                               QObject* parent = nullptr);
    ~DisplayController() override;

    // Ports and connection
    // Connection lifecycle
    void refreshPorts();
    void connect(bool isReconnect = false);
    void disconnect(bool quiet = false);
    void handleConnectionLost(const std::optional<QString>& reason);
    void handleUSBChange();
    void startReconnectAttempts();
    void handleWriteError(const SerialPortError& error);
    bool isReconnecting() const { return m_reconnect.isRunning(); }

    const QList<SerialPortInfo>& ports() const { return m_ports; }
    const QList<UnboundAdapter>& unboundAdapters() const { return m_unboundAdapters; }
    const QString& selectedPath() const { return m_selectedPath; }
    void setSelectedPath(const QString& path);
    const SerialSettings& settings() const { return m_settings; }
    void setSettings(const SerialSettings& settings);
    const ConnectionState& connection() const { return m_connection; }
    bool autoReconnect() const { return m_autoReconnect; }
    void setAutoReconnect(bool on);
    const std::optional<QString>& wantedPath() const { return m_wantedPath; }
    const QList<QDateTime>& dropouts() const { return m_dropouts; }
    int reconnects() const { return m_reconnects; }
    // At least two connection losses within the last ten minutes.
    bool hasRepeatedDropouts() const;
    void resetDropouts();

    // Known display state
    bool displayResponding() const { return m_displayResponding; }
    const std::optional<QDateTime>& lastReply() const { return m_lastReply; }
    DisplaySeries series() const { return m_series; }
    void setSeries(DisplaySeries series);
    const std::optional<PowerState>& power() const { return m_power; }
    const std::optional<QString>& input() const { return m_input; }
    double volume() const { return m_volume; }
    bool mute() const { return m_mute; }
    bool micMute() const { return m_micMute; }
    double brightness() const { return m_brightness; }
    bool videoFreeze() const { return m_videoFreeze; }
    bool screenShade() const { return m_screenShade; }
    bool stateReporting() const { return m_stateReporting; }
    const QString& modelNumber() const { return m_modelNumber; }
    const QString& serialNumber() const { return m_serialNumber; }
    const QString& partNumber() const { return m_partNumber; }
    const QString& firmware() const { return m_firmware; }

    // Replies and polling
    void handleReceived(const QByteArray& chunk);
    void apply(const QString& name, const QString& value, bool fromQuery);
    void startPolling();
    void refreshAll();
    void queryDeviceInfo();

    // Display actions: change the local copy at once, then queue the command.
    void setPower(PowerState state);
    void setInput(const QString& id);
    void setVolume(double value);
    void stepVolume(qint64 steps);
    void setMute(bool on);
    void setMicMute(bool on);
    void setBrightness(double value);
    void stepBrightness(qint64 steps);
    void setVideoFreeze(bool on);
    void setScreenShade(bool on);
    void setStateReporting(bool on);
    void factoryReset();
    void sendCustom(const QString& text);

    bool pollingEnabled() const { return m_pollingEnabled; }
    void setPollingEnabled(bool on);
    double pollingInterval() const { return m_pollingInterval; }
    void setPollingInterval(double seconds);

    // Traffic log and counters
    const LogBuffer& log() const { return m_log; }
    bool showHex() const { return m_showHex; }
    void setShowHex(bool on);
    qint64 txCount() const { return m_txCount; }
    qint64 rxCount() const { return m_rxCount; }
    int timeouts() const { return m_timeouts; }
    void appendLog(LogEntry::Kind kind, const QString& text, const QByteArray& bytes = {});
    void clearLog();
    QString exportText() const { return m_log.exportText(); }
    QString proposedExportFileName() const;
    // Writes bytes unfiltered; the entry shows `text`, or the bytes' printable text.
    void sendRaw(const QByteArray& bytes, const std::optional<QString>& text = std::nullopt);
    void sendHex(const QString& text);

    // Command queue and raw mode
    void send(const QString& text);
    bool rawMode() const { return m_rawMode; }
    void setRawMode(bool on);

    // Test output
    TestPattern testPattern() const { return m_testPattern; }
    void setTestPattern(TestPattern pattern);
    const QString& testCustomText() const { return m_testCustomText; }
    void setTestCustomText(const QString& text);
    const QString& testCustomHex() const { return m_testCustomHex; }
    void setTestCustomHex(const QString& text);
    bool testRepeat() const { return m_testRepeat; }
    void setTestRepeat(bool on);
    double testInterval() const { return m_testInterval; }
    void setTestInterval(double seconds);
    bool testRunning() const { return m_testRunning; }
    qint64 testSentCount() const { return m_testSentCount; }
    void setTestSentCount(qint64 count);
    QByteArray currentTestBytes() const;
    void sendTestOnce();
    void startTest();
    void stopTest();

    // Bridge-plug loopback test
    const LoopbackStats& loopback() const { return m_loopback; }
    bool loopbackRunning() const { return m_loopbackRunning; }
    qint64 loopbackPacketSize() const { return m_loopbackPacketSize; }
    void setLoopbackPacketSize(qint64 size);
    double loopbackInterval() const { return m_loopbackInterval; }
    void setLoopbackInterval(double seconds);
    void startLoopback();
    void stopLoopback();

    // Line machinery, observable for the terminal's status line.
    const QList<SmartCommand>& queue() const { return m_queue; }
    const std::optional<SmartCommand>& current() const { return m_current; }

    void saveSettings();

signals:
    void portsChanged();
    void unboundAdaptersChanged();
    void selectedPathChanged();
    void settingsChanged();
    void connectionChanged();
    void autoReconnectChanged();
    void wantedPathChanged();
    void dropoutsChanged();
    void reconnectsChanged();

    void displayRespondingChanged();
    void lastReplyChanged();
    void seriesChanged();
    void powerChanged();
    void inputChanged();
    void volumeChanged();
    void muteChanged();
    void micMuteChanged();
    void brightnessChanged();
    void videoFreezeChanged();
    void screenShadeChanged();
    void stateReportingChanged();
    void modelNumberChanged();
    void serialNumberChanged();
    void partNumberChanged();
    void firmwareChanged();

    void pollingEnabledChanged();
    void pollingIntervalChanged();

    // The log changes in three ways only, so a view never re-reads 2000 rows per entry.
    void logAppended(int count);
    void logRemovedFromFront(int count);
    void logCleared();
    void showHexChanged();
    void txCountChanged();
    void rxCountChanged();
    void timeoutsChanged();

    void rawModeChanged();
    void testPatternChanged();
    void testCustomTextChanged();
    void testCustomHexChanged();
    void testRepeatChanged();
    void testIntervalChanged();
    void testRunningChanged();
    void testSentCountChanged();
    void loopbackChanged();
    void loopbackRunningChanged();
    void loopbackPacketSizeChanged();
    void loopbackIntervalChanged();
    void queueChanged();
    void currentChanged();

private:
    // Compare, assign, announce; returns whether the value changed.
    template <typename T>
    bool update(T& field, const T& value, void (DisplayController::*changed)())
    {
        if (field == value)
            return false;
        field = value;
        emit(this->*changed)();
        return true;
    }

    void loadStoredSettings();
    void decideStartupConnection();
    QDateTime now() const { return m_clock->now(); }
    void setConnection(const ConnectionState& state);
    void addTxCount(qint64 bytes);

    // Command queue and prompt handshake
    void pumpStep();
    void afterCommand();
    void execute(const SmartCommand& command, std::function<void()> done);
    void waitForPrompt(double timeout, std::function<void()> resume);
    void releaseWaiter(bool onlyIfIdle);
    void promptArrived();

    // Connection
    std::optional<SerialPortError> openLine(const QString& selected);
    void recordDropout();
    void reconnectAttempt(const QString& target, int attempt);
    bool isListed(const QString& path) const;

    // Replies and polling
    void schedulePoll();
    void pollCycle();
    void handleEvent(const SmartEvent& event);
    void openHoldOff();

    // Test output and loopback
    void scheduleTestPacket();
    void loopbackPacket(qint64 sequence);
    void finishLoopbackPacket();
    void wakeLoopbackWait();
    double secondsSince(std::chrono::steady_clock::time_point start) const;

    QSettings& m_store;
    ControllerOptions m_options;
    std::shared_ptr<const Clock> m_clock;

    QList<SerialPortInfo> m_ports;
    QList<UnboundAdapter> m_unboundAdapters;
    QString m_selectedPath;
    SerialSettings m_settings = SerialSettings::smartStandard();
    ConnectionState m_connection;
    bool m_autoReconnect = true;
    std::optional<QString> m_wantedPath;
    QList<QDateTime> m_dropouts;
    int m_reconnects = 0;

    bool m_displayResponding = false;
    std::optional<QDateTime> m_lastReply;
    DisplaySeries m_series = DisplaySeries::qx;
    std::optional<PowerState> m_power;
    std::optional<QString> m_input;
    double m_volume = 0;
    bool m_mute = false;
    bool m_micMute = false;
    double m_brightness = 0;
    bool m_videoFreeze = false;
    bool m_screenShade = false;
    bool m_stateReporting = false;
    QString m_modelNumber;
    QString m_serialNumber;
    QString m_partNumber;
    QString m_firmware;

    bool m_pollingEnabled = true;
    double m_pollingInterval = 5.0;

    LogBuffer m_log;
    bool m_showHex = false;
    qint64 m_txCount = 0;
    qint64 m_rxCount = 0;
    int m_timeouts = 0;

    TestPattern m_testPattern = TestPattern::counterLine;
    QString m_testCustomText = QStringLiteral("Hallo PuTTY \u2013 Bildwart");
    QString m_testCustomHex = QStringLiteral("48 61 6C 6C 6F 0D 0A");
    bool m_testRepeat = false;
    double m_testInterval = 1.0;
    bool m_testRunning = false;
    qint64 m_testSentCount = 0;
    Activity m_testTask{this};

    bool m_rawMode = false;
    LoopbackStats m_loopback;
    bool m_loopbackRunning = false;
    qint64 m_loopbackPacketSize = 32;
    double m_loopbackInterval = 0.2;
    Activity m_loopbackTask{this};
    QByteArray m_loopbackReceived;
    // The packet that waits for its echo; the wait is woken early by arriving bytes.
    struct PendingEcho {
        qint64 sequence = 0;
        QByteArray packet;
        std::chrono::steady_clock::time_point sentAt;
    };
    std::optional<PendingEcho> m_pendingEcho;
    Activity m_loopbackWait{this};

    std::shared_ptr<PortScanner> m_scanner;
    std::shared_ptr<HotplugSource> m_hotplug;
    std::unique_ptr<DisplaySimulator> m_simulator;
    std::unique_ptr<SerialPort> m_port;
    SmartParser m_parser;
    QList<SmartCommand> m_queue;
    std::optional<SmartCommand> m_current;
    std::function<void()> m_promptWaiter;
    quint64 m_waiterGeneration = 0;
    quint64 m_promptTimerGeneration = 0;
    QTimer m_promptTimer;
    Activity m_pump{this};
    Activity m_poll{this};
    Activity m_reconnect{this};
    std::chrono::steady_clock::time_point m_suppressPollUntil{};
};

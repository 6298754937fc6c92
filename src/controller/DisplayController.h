#pragma once

#include "controller/Activity.h"
#include "controller/Clock.h"
#include "controller/ConnectionState.h"
#include "controller/LogBuffer.h"
#include "controller/LogEntry.h"
#include "controller/values/CommandQueue.h"
#include "controller/values/DisplayState.h"
#include "controller/values/DropoutHistory.h"
#include "discovery/SerialPortInfo.h"
#include "discovery/UnboundAdapter.h"
#include "line/SerialPortError.h"
#include "line/SerialSettings.h"
#include "linetest/LoopbackStats.h"
#include "linetest/PendingEcho.h"
#include "linetest/TestPattern.h"
#include "protocol/SmartEvent.h"
#include "protocol/SmartParser.h"

#include <QObject>
#include <QSettings>
#include <functional>
#include <memory>
#include <optional>

class DisplaySimulator;
class HotplugSource;
class Line;
class PortDoctor;
class PortScanner;

// What the application chooses when it creates the controller; tests and the
// command-line tool choose differently.
struct ControllerOptions {
    using LineMaker =
        std::function<std::unique_ptr<Line>(const QString& device, const SerialSettings&)>;

    // Connect to the remembered adapter after construction (or wait for it).
    bool connectAtStartup = true;
    // React to hot-plug events (a one-shot command-line run does not need to).
    bool watchHotplug = true;
    // Ask for every value and the device information at each connect; a one-shot
    // command that asks for one value needs only the fresh prompt.
    bool refreshAtConnect = true;
    // Entries the traffic log keeps; a program that writes each entry out as it comes
    // (the command-line tool) needs few.
    int logCapacity = LogBuffer::capacity;
    // The system's clock when not given.
    std::shared_ptr<const Clock> clock;
    // The system's device tree when not given.
    std::shared_ptr<PortScanner> scanner;
    // The system's USB hot-plug events when not given.
    std::shared_ptr<HotplugSource> hotplug;
    // Says why a port failed to open; the system's when not given.
    std::shared_ptr<PortDoctor> doctor;
    // Opens the system's serial devices when not given.
    LineMaker makeLine;
};

// The one object that owns the line, the command queue, the known display state,
// polling, reconnection and the traffic log. Lives on the main thread; every
// property announces its change through its own signal, and assigning an equal
// value announces nothing.
class DisplayController : public QObject {
    Q_OBJECT

public:
    // The store holds the persisted keys; it must outlive the controller.
    explicit DisplayController(QSettings& store, ControllerOptions options = {},
                               QObject* parent = nullptr);
    ~DisplayController() override;

    // Ports and connection
    const QList<SerialPortInfo>& ports() const { return m_ports; }
    const QList<UnboundAdapter>& unboundAdapters() const { return m_unboundAdapters; }
    void refreshPorts();
    // Why ports do not work on this computer, for the views and the command line.
    PortDoctor& doctor() const { return *m_doctor; }
    // How long the connected adapter holds received bytes (FTDI's latency_timer, ms):
    // shown beside the loopback round-trip time, which it lengthens. Absent when the
    // adapter has no such timer or no adapter is connected. Read when asked: a one-shot
    // command should not pay for looking at the adapter.
    std::optional<int> adapterLatencyTimerMs() const;
    // Puts a network address (tcp://…, rfc2217://…) first among the remembered ones, which
    // the port list shows after the real ports, and selects it. False for any other text.
    bool rememberNetworkAddress(const QString& address);
    const QString& selectedPath() const { return m_selectedPath; }
    void setSelectedPath(const QString& path);
    const SerialSettings& settings() const { return m_settings; }
    void setSettings(const SerialSettings& settings);
    // Opens the selected port or simulator ("Verbinden"); while connected, reopens it.
    void connectLine();
    // Closes the line and ends any waiting for the adapter ("Trennen", "Nicht mehr warten").
    void disconnectLine();
    const ConnectionState& connection() const { return m_connection; }
    bool autoReconnect() const { return m_autoReconnect; }
    void setAutoReconnect(bool on);
    const std::optional<QString>& wantedPath() const { return m_wantedPath; }
    const DropoutHistory& dropouts() const { return m_dropouts; }
    bool hasRepeatedDropouts() const { return m_dropouts.hasRepeated(m_clock->now()); }
    int reconnects() const { return m_reconnects; }
    void resetDropouts();

    // The display
    const DisplayState& display() const { return m_display; }
    DisplaySeries series() const { return m_series; }
    void setSeries(DisplaySeries series);
    bool displayResponding() const { return m_displayResponding; }
    const std::optional<QDateTime>& lastReply() const { return m_lastReply; }
    void refreshAll();
    void queryDeviceInfo();
    bool pollingEnabled() const { return m_pollingEnabled; }
    void setPollingEnabled(bool on);
    double pollingInterval() const { return m_pollingInterval; }
    void setPollingInterval(double seconds);

    // Display actions: change the local copy at once, then queue the command.
    void setPower(PowerState state);
    void setInput(const QString& id);
    void setLevel(DisplaySetting setting, double value);
    void stepLevel(DisplaySetting setting, qint64 steps);
    void setSwitch(DisplaySetting setting, bool on);
    void setVolume(double value) { setLevel(DisplaySetting::volume, value); }
    void stepVolume(qint64 steps) { stepLevel(DisplaySetting::volume, steps); }
    void setBrightness(double value) { setLevel(DisplaySetting::brightness, value); }
    void stepBrightness(qint64 steps) { stepLevel(DisplaySetting::brightness, steps); }
    void setMute(bool on) { setSwitch(DisplaySetting::mute, on); }
    void setMicMute(bool on) { setSwitch(DisplaySetting::micMute, on); }
    void setVideoFreeze(bool on) { setSwitch(DisplaySetting::videoFreeze, on); }
    void setScreenShade(bool on) { setSwitch(DisplaySetting::screenShade, on); }
    void setStateReporting(bool on) { setSwitch(DisplaySetting::stateReporting, on); }
    void factoryReset();
    // A free command line: queued in SMART mode, written unfiltered in raw mode.
    void sendCustom(const QString& text);

    // Command queue and raw mode
    // Queues one command; dropped unless connected and in SMART mode.
    void send(const QString& text);
    const CommandQueue& queue() const { return m_queue; }
    // The command on the line, waiting for its prompt.
    const std::optional<SmartCommand>& current() const { return m_current; }
    bool rawMode() const { return m_rawMode; }
    void setRawMode(bool on);

    // Traffic log and counters
    const LogBuffer& log() const { return m_log; }
    void clearLog();
    QString exportText() const { return m_log.exportText(); }
    QString proposedExportFileName() const;
    bool showHex() const { return m_showHex; }
    void setShowHex(bool on);
    qint64 txCount() const { return m_txCount; }
    qint64 rxCount() const { return m_rxCount; }
    int timeouts() const { return m_timeouts; }
    // Writes bytes unfiltered; the entry shows `text`, or the bytes' printable text.
    void sendRaw(const QByteArray& bytes, const std::optional<QString>& text = std::nullopt);
    void sendHex(const QString& text);

    // Test output for a terminal program on a second computer
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
    qint64 testSentCount() const { return m_testSentCount; }
    void setTestSentCount(qint64 count);
    bool testRunning() const { return m_testRunning; }
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

    void seriesChanged();
    void displayRespondingChanged();
    void lastReplyChanged();
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
    // Every piece of display output, as parsed outside raw mode.
    void displayEvent(const SmartEvent& event);
    void pollingEnabledChanged();
    void pollingIntervalChanged();

    void queueChanged();
    void currentChanged();
    void rawModeChanged();

    // The log changes in three ways only, so a view never re-reads 2000 rows per entry.
    void logAppended(int count);
    void logRemovedFromFront(int count);
    void logCleared();
    void showHexChanged();
    void txCountChanged();
    void rxCountChanged();
    void timeoutsChanged();

    void testPatternChanged();
    void testCustomTextChanged();
    void testCustomHexChanged();
    void testRepeatChanged();
    void testIntervalChanged();
    void testSentCountChanged();
    void testRunningChanged();

    void loopbackChanged();
    void loopbackRunningChanged();
    void loopbackPacketSizeChanged();
    void loopbackIntervalChanged();

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
    // Changes the display state and announces every property that differs.
    void changeDisplay(const std::function<void(DisplayState&)>& change);
    void announceDisplayChanges(const DisplayState& before);

    // State and persistence
    void loadStoredSettings();
    void decideStartupConnection();
    void setConnection(const ConnectionState& state);

    // Traffic log
    void appendLog(LogEntry::Kind kind, const QString& text, const QByteArray& bytes = {},
                   bool poll = false);
    void addTxCount(qint64 bytes);

    // Command queue and prompt handshake
    void queueCommand(SmartCommand command);
    void pumpStep();
    void afterCommand();
    void execute(const SmartCommand& command);
    void waitForPrompt(double timeout, std::function<void()> resume);
    void releaseWaiter(bool onlyIfIdle);
    void promptArrived();
    void setCurrent(const std::optional<SmartCommand>& command);

    // Connection
    void openSelected(bool isReconnect, std::function<void()> after = {});
    void finishOpening(const QString& selected, std::optional<SerialPortError> error);
    // The failure of opening `selected`, with the cause the doctor finds.
    SerialPortError withCause(const QString& selected, const SerialPortError& error) const;
    // What the doctor tells about the port just opened.
    void examineOpenedPort(const QString& selected);
    // ModemManager's AT probes in the first bytes after connecting.
    void watchForModemProbe(const QByteArray& chunk);
    void tearDownLine(bool quiet);
    void handleConnectionLost(const std::optional<QString>& reason);
    void handleUSBChange();
    void startReconnectAttempts();
    void reconnectAttempt(const QString& target, int attempt);
    void afterReconnectAttempt(const QString& target, int attempt, bool listed);
    void handleWriteError(const SerialPortError& error);
    bool isListed(const QString& path) const;
    QList<SerialPortInfo> networkEntries() const;

    // Replies and polling
    void handleReceived(const QByteArray& chunk);
    void handleEvent(const SmartEvent& event);
    void startPolling();
    void schedulePoll();
    void pollCycle();
    void holdOffLevelQueries();

    // Test output and loopback
    void scheduleTestPacket();
    void loopbackPacket(qint64 sequence);
    void finishLoopbackPacket();
    void recordLoopback(const std::function<void(LoopbackStats&)>& change);

    QSettings& m_store;
    ControllerOptions m_options;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<PortScanner> m_scanner;
    std::shared_ptr<HotplugSource> m_hotplug;
    std::shared_ptr<PortDoctor> m_doctor;
    QString m_openedDevicePath; // the device node's path while connected to one
    // The first bytes received on a serial device since connecting; empty otherwise.
    QByteArray m_receivedAfterConnect;
    QString m_examinedPath; // the serial device being watched for probes; empty if none

    QList<SerialPortInfo> m_ports;
    QList<UnboundAdapter> m_unboundAdapters;
    QString m_selectedPath;
    SerialSettings m_settings = SerialSettings::smartStandard();
    ConnectionState m_connection;
    bool m_autoReconnect = true;
    std::optional<QString> m_wantedPath;
    DropoutHistory m_dropouts;
    int m_reconnects = 0;

    DisplayState m_display;
    DisplaySeries m_series = DisplaySeries::qx;
    bool m_displayResponding = false;
    std::optional<QDateTime> m_lastReply;
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

    bool m_rawMode = false;
    LoopbackStats m_loopback;
    bool m_loopbackRunning = false;
    qint64 m_loopbackPacketSize = 32;
    double m_loopbackInterval = 0.2;
    // The packet that waits for its echo; its wait ends early when the echo is whole.
    std::optional<PendingEcho> m_pendingEcho;

    // The line: opening while connecting, open while connected.
    std::unique_ptr<DisplaySimulator> m_simulator;
    std::unique_ptr<Line> m_openingLine;
    std::unique_ptr<Line> m_line;
    SmartParser m_parser;
    CommandQueue m_queue;
    std::optional<SmartCommand> m_current;
    std::function<void()> m_promptWaiter;
    std::unique_ptr<ClockTimer> m_promptTimer;

    Activity m_pump{this, *m_clock};
    Activity m_poll{this, *m_clock};
    Activity m_reconnect{this, *m_clock};
    Activity m_testTask{this, *m_clock};
    Activity m_loopbackTask{this, *m_clock};
    Activity m_loopbackWait{this, *m_clock};
};

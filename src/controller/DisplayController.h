#pragma once

#include "controller/Clock.h"
#include "controller/ConnectionState.h"
#include "controller/LogBuffer.h"
#include "controller/LogEntry.h"
#include "protocol/DisplaySeries.h"
#include "protocol/PowerState.h"
#include "protocol/SmartCommand.h"
#include "protocol/SmartParser.h"
#include "serial/SerialPortInfo.h"
#include "serial/SerialSettings.h"
#include "serial/UnboundAdapter.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSettings>
#include <memory>
#include <optional>

class PortScanner;
class HotplugSource;

// What the application chooses when it creates the controller; tests and the
// command-line tool choose differently.
struct ControllerOptions {
    // Connect to the remembered adapter after construction (or wait for it).
    bool connectAtStartup = true;
    std::shared_ptr<const Clock> clock;
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

    // Polling
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

    // Raw mode
    bool rawMode() const { return m_rawMode; }
    void setRawMode(bool on);

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
    QDateTime now() const { return m_clock->now(); }

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

    bool m_rawMode = false;

    SmartParser m_parser;
    QList<SmartCommand> m_queue;
    std::optional<SmartCommand> m_current;
};

#pragma once

#include "controller/ControllerSettings.h"
#include "controller/LogBuffer.h"
#include "controller/values/DisplayState.h"
#include "line/LineAddress.h"

#include <QObject>
#include <functional>
#include <memory>

class Clock;
class CommandPump;
class HotplugSource;
class Line;
class LineSession;
class LineTester;
class PortDoctor;
class PortList;
class PortScanner;
class RemoteDisplay;
class TrafficLog;

// What the application chooses when it creates the controller; tests and the
// command-line tool choose differently.
struct ControllerOptions {
    using LineMaker = std::function<std::unique_ptr<Line>(
        const LineAddress& address, const SerialSettings& settings, DisplaySeries series)>;

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
    // Opens the system's serial devices and network lines when not given.
    LineMaker makeLine;
};

// A session with one display: builds its parts, connects them, and hands them out. Each
// part owns one concern; views and the command line talk to the part they show.
//   ports()   the ports to choose from and the chosen one
//   line()    the line: opening, closing, dropouts, reconnection, its settings
//   pump()    the display's protocol on the line: queue, prompt handshake, poll, raw mode
//   display() what is known of the display, and the user's actions on it
//   log()     the traffic log and its counters
//   tester()  test output and the bridge-plug loopback test
class DisplayController : public QObject {
    Q_OBJECT

public:
    DisplayController(ControllerSettings stored, ControllerOptions options = {},
                      QObject* parent = nullptr);
    ~DisplayController() override;

    PortList& ports() { return *m_ports; }
    const PortList& ports() const { return *m_ports; }
    LineSession& line() { return *m_line; }
    const LineSession& line() const { return *m_line; }
    CommandPump& pump() { return *m_pump; }
    const CommandPump& pump() const { return *m_pump; }
    RemoteDisplay& display() { return *m_display; }
    const RemoteDisplay& display() const { return *m_display; }
    // What the controller's times and timers run on; the views' timers too, so that tests
    // move them by hand.
    const Clock& clock() const { return *m_clock; }
    TrafficLog& log() { return *m_log; }
    const TrafficLog& log() const { return *m_log; }
    LineTester& tester() { return *m_tester; }
    const LineTester& tester() const { return *m_tester; }
    PortDoctor& doctor() const { return *m_doctor; }

    // "Verbinden": opens the chosen port (while connected, reopens it).
    void connectLine();
    // "Trennen", "Nicht mehr warten".
    void disconnectLine();

    // The values to keep for the next run, as they are now.
    ControllerSettings storedSettings() const;

signals:
    void storedSettingsChanged();

private:
    void decideStartupConnection(const QString& lastPath);
    void routeReceived(const QByteArray& chunk);

    ControllerOptions m_options;
    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<HotplugSource> m_hotplug;
    std::shared_ptr<PortDoctor> m_doctor;
    std::unique_ptr<TrafficLog> m_log;
    std::unique_ptr<PortList> m_ports;
    std::unique_ptr<LineSession> m_line;
    std::unique_ptr<CommandPump> m_pump;
    std::unique_ptr<RemoteDisplay> m_display;
    std::unique_ptr<LineTester> m_tester;
};

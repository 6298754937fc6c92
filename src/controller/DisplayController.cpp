#include "controller/DisplayController.h"

#include "controller/Clock.h"
#include "controller/CommandPump.h"
#include "controller/LineSession.h"
#include "controller/LineTester.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "controller/SystemLines.h"
#include "controller/TrafficLog.h"
#include "discovery/SerialPortInfo.h"
#include "discovery/SystemPortScanner.h"
#include "discovery/USBSerialWatcher.h"
#include "doctor/SystemPortDoctor.h"

DisplayController::DisplayController(ControllerSettings stored, ControllerOptions options,
                                     QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_clock(m_options.clock ? m_options.clock : std::make_shared<const Clock>())
    , m_hotplug(m_options.hotplug ? m_options.hotplug : std::make_shared<USBSerialWatcher>())
    , m_doctor(m_options.doctor
                   ? m_options.doctor
                   : std::make_shared<SystemPortDoctor>([hotplug = std::weak_ptr(m_hotplug)] {
                         const auto source = hotplug.lock();
                         return source ? source->shortLivedAdapters() : QList<UsbId>();
                     }))
{
    m_log = std::make_unique<TrafficLog>(m_clock, m_options.logCapacity);
    m_ports = std::make_unique<PortList>(m_options.scanner ? m_options.scanner
                                                           : std::make_shared<SystemPortScanner>(),
                                         stored.recentNetworkAddresses);
    m_line = std::make_unique<LineSession>(
        *m_ports, *m_log, m_clock, m_doctor,
        m_options.makeLine ? m_options.makeLine : LineSession::LineMaker(makeSystemLine),
        LineSession::Stored{stored.serial, stored.autoReconnect, stored.lastPortPath});
    m_pump = std::make_unique<CommandPump>(
        *m_line, *m_log, m_clock,
        CommandPump::Polling{stored.pollingEnabled, stored.pollingInterval});
    m_pump->setRefreshAtConnect(m_options.refreshAtConnect);
    m_display = std::make_unique<RemoteDisplay>(*m_pump, *m_line, *m_log, m_clock, stored.series);
    m_tester = std::make_unique<LineTester>(*m_line, *m_pump, *m_log, m_clock);

    // The line's three moments, in the order that keeps the log readable: a test stops
    // before the queue empties, the queue starts after "Verbunden mit …".
    connect(m_line.get(), &LineSession::opened, m_pump.get(), &CommandPump::lineOpened);
    connect(m_line.get(), &LineSession::closing, m_pump.get(), &CommandPump::lineClosing);
    connect(m_line.get(), &LineSession::received, this, &DisplayController::routeReceived);
    connect(m_tester.get(), &LineTester::runningChanged, this, [this] {
        const bool running = m_tester->isRunning();
        m_pump->holdPolling(running);
        m_display->holdActions(!running                      ? QString()
                               : m_tester->loopbackRunning() ? tr("Brückentest läuft.")
                                                             : tr("Testausgabe läuft."));
    });
    m_line->setSimulatedSeries(m_display->series());
    // A network line is back once its display answers, not when the gateway takes it.
    connect(m_display.get(), &RemoteDisplay::answeredChanged, this, [this] {
        if (m_display->state().displayAnswered())
            m_line->displayAnswered();
    });
    connect(m_display.get(), &RemoteDisplay::seriesChanged, this,
            [this] { m_line->setSimulatedSeries(m_display->series()); });
    connect(m_display.get(), &RemoteDisplay::changed, this, [this] {
        const DisplayState& state = m_display->state();
        m_pump->setDisplayResting(state.power() == PowerState::standby &&
                                  state.standing(DisplaySetting::power) ==
                                      DisplayState::Standing::live);
    });

    for (const auto changed : {&LineSession::settingsChanged, &LineSession::storedChanged})
        connect(m_line.get(), changed, this, &DisplayController::storedSettingsChanged);
    connect(m_pump.get(), &CommandPump::pollingChanged, this,
            &DisplayController::storedSettingsChanged);
    connect(m_display.get(), &RemoteDisplay::seriesChanged, this,
            &DisplayController::storedSettingsChanged);
    connect(m_ports.get(), &PortList::recentNetworkAddressesChanged, this,
            &DisplayController::storedSettingsChanged);

    // A remembered simulator is never chosen at start: it is no adapter to wait for.
    if (!LineAddress::fromText(stored.lastPortPath).isSimulator())
        m_ports->select(stored.lastPortPath);
    m_ports->refresh();
    if (m_options.watchHotplug)
        m_ports->watchHotplug(m_hotplug);
    m_line->setHotplugWatched(m_options.watchHotplug);
    decideStartupConnection(stored.lastPortPath);
}

DisplayController::~DisplayController() = default;

void DisplayController::routeReceived(const QByteArray& chunk)
{
    const auto arrived = m_clock->monotonic();
    // Logged first, so that what the bytes cause (a parse error, a loopback verdict)
    // stands after them.
    m_log->countReceived(chunk.size());
    const auto& current = m_pump->current();
    m_log->append(LogEntry::Kind::rx, LogEntry::printable(chunk), chunk, current && current->poll);
    // The pump first: a loopback verdict may switch the mode back, and these bytes came
    // in the mode they were sent in.
    m_pump->received(chunk);
    m_tester->received(chunk, arrived);
}

void DisplayController::decideStartupConnection(const QString& lastPath)
{
    const auto parsed = LineAddress::parse(lastPath);
    const auto* address = std::get_if<LineAddress>(&parsed);
    if (!m_options.connectAtStartup || !m_line->autoReconnect() || !address ||
        address->isSimulator())
        return;
    if (m_ports->isListed(lastPath)) {
        m_ports->select(lastPath);
        // After construction, so whoever created the controller sees every step.
        QMetaObject::invokeMethod(
            this, [this, open = *address] { m_line->open(open); }, Qt::QueuedConnection);
    } else {
        m_line->waitFor(*address);
    }
}

void DisplayController::connectLine()
{
    const QString path = m_ports->selectedPath();
    if (path.isEmpty())
        return;
    auto parsed = LineAddress::parse(path);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        m_line->refuse(*error);
        return;
    }
    const LineAddress& address = std::get<LineAddress>(parsed);
    // The bridge plug's simulator echoes everything; the display's protocol has no place
    // on it.
    if (address.isSimulator() && address.simulatorKind() == LineAddress::Simulator::loopback)
        m_pump->setRawMode(true);
    m_line->open(address);
}

void DisplayController::disconnectLine()
{
    m_line->close();
}

ControllerSettings DisplayController::storedSettings() const
{
    ControllerSettings stored;
    stored.serial = m_line->settings();
    stored.lastPortPath = m_line->lastPath();
    stored.pollingEnabled = m_pump->polling().enabled;
    stored.pollingInterval = m_pump->polling().interval;
    stored.series = m_display->series();
    stored.autoReconnect = m_line->autoReconnect();
    stored.recentNetworkAddresses = m_ports->recentNetworkAddresses();
    return stored;
}

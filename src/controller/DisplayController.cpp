// The controller's state: construction, the persisted settings, and the announcement of
// changes to the display's known values.
#include "controller/DisplayController.h"

#include "controller/LogExport.h"
#include "controller/StoreKeys.h"
#include "controller/SystemLines.h"
#include "discovery/HotplugSource.h"
#include "discovery/PortScanner.h"
#include "discovery/SystemPortScanner.h"
#include "discovery/USBSerialWatcher.h"
#include "doctor/SystemPortDoctor.h"
#include "line/Line.h"
#include "simulator/DisplaySimulator.h"

#include <QPointer>

DisplayController::DisplayController(QSettings& store, ControllerOptions options, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_options(std::move(options))
    , m_clock(m_options.clock ? m_options.clock : std::make_shared<const Clock>())
    , m_scanner(m_options.scanner ? m_options.scanner : std::make_shared<SystemPortScanner>())
    , m_hotplug(m_options.hotplug ? m_options.hotplug : std::make_shared<USBSerialWatcher>())
    , m_doctor(m_options.doctor
                   ? m_options.doctor
                   : std::make_shared<SystemPortDoctor>([hotplug = std::weak_ptr(m_hotplug)] {
                         const auto source = hotplug.lock();
                         return source ? source->shortLivedAdapters() : QList<UsbId>();
                     }))
    , m_log(m_options.logCapacity)
    , m_promptTimer(m_clock->makeTimer())
{
    if (!m_options.makeLine)
        m_options.makeLine = makeSystemLine;
    loadStoredSettings();
    refreshPorts();
    if (m_options.watchHotplug) {
        m_hotplug->onChange = [self = QPointer(this)] {
            if (self)
                self->handleUSBChange();
        };
        m_hotplug->start();
    }
    decideStartupConnection();
}

DisplayController::~DisplayController()
{
    // The lines and the simulator go first: nothing they deliver may reach a
    // half-destroyed controller.
    m_openingLine.reset();
    m_line.reset();
    m_simulator.reset();
    if (m_hotplug)
        m_hotplug->onChange = nullptr;
}

void DisplayController::decideStartupConnection()
{
    const QString lastPath = m_store.value(StoreKeys::lastPortPath).toString();
    if (!m_options.connectAtStartup || !m_autoReconnect || lastPath.isEmpty() ||
        SerialPortInfo::isSimulatorPath(lastPath))
        return;

    update(m_wantedPath, std::optional(lastPath), &DisplayController::wantedPathChanged);
    if (isListed(lastPath)) {
        setSelectedPath(lastPath);
        // After construction, so whoever created the controller sees every step.
        QMetaObject::invokeMethod(
            this, [this] { openSelected(false); }, Qt::QueuedConnection);
    } else {
        setConnection(ConnectionState::waiting());
    }
}

void DisplayController::loadStoredSettings()
{
    if (m_store.contains(StoreKeys::serialSettings)) {
        const auto stored =
            SerialSettings::fromJson(m_store.value(StoreKeys::serialSettings).toByteArray());
        if (stored && *stored != m_settings)
            setSettings(*stored);
    }

    const QString lastPath = m_store.value(StoreKeys::lastPortPath).toString();
    setSelectedPath(SerialPortInfo::isSimulatorPath(lastPath) ? QString() : lastPath);

    if (m_store.contains(StoreKeys::pollingEnabled))
        setPollingEnabled(m_store.value(StoreKeys::pollingEnabled).toBool());

    const double interval = m_store.value(StoreKeys::pollingInterval, 0.0).toDouble();
    if (interval > 0)
        setPollingInterval(interval);

    const auto storedSeries =
        displaySeriesFromRaw(m_store.value(StoreKeys::displaySeries).toString());
    if (storedSeries)
        update(m_series, *storedSeries, &DisplayController::seriesChanged);

    if (m_store.contains(StoreKeys::autoReconnect))
        setAutoReconnect(m_store.value(StoreKeys::autoReconnect).toBool());
}

void DisplayController::setSelectedPath(const QString& path)
{
    update(m_selectedPath, path, &DisplayController::selectedPathChanged);
}

void DisplayController::setSettings(const SerialSettings& settings)
{
    const SerialSettings before = m_settings;
    if (!update(m_settings, settings, &DisplayController::settingsChanged))
        return;
    if (const auto json = m_settings.toJson())
        m_store.setValue(StoreKeys::serialSettings, *json);
    // Changes apply at once, also on an open line; a driver that refuses one keeps
    // working with what it had. Reconfiguring flushes the line, so only a change of the
    // line itself does it: a new timeout must not throw away a reply in flight.
    if (m_line && !m_settings.sameLine(before))
        (void)m_line->apply(m_settings);
}

void DisplayController::setAutoReconnect(bool on)
{
    update(m_autoReconnect, on, &DisplayController::autoReconnectChanged);
    m_store.setValue(StoreKeys::autoReconnect, on);
}

void DisplayController::setSeries(DisplaySeries series)
{
    update(m_series, series, &DisplayController::seriesChanged);
    m_store.setValue(StoreKeys::displaySeries, rawValue(series));
}

void DisplayController::setPollingEnabled(bool on)
{
    update(m_pollingEnabled, on, &DisplayController::pollingEnabledChanged);
    m_store.setValue(StoreKeys::pollingEnabled, on);
}

void DisplayController::setPollingInterval(double seconds)
{
    update(m_pollingInterval, seconds, &DisplayController::pollingIntervalChanged);
    m_store.setValue(StoreKeys::pollingInterval, seconds);
}

void DisplayController::resetDropouts()
{
    update(m_dropouts, {}, &DisplayController::dropoutsChanged);
    update(m_reconnects, 0, &DisplayController::reconnectsChanged);
}

QString DisplayController::proposedExportFileName() const
{
    return ::proposedExportFileName(m_clock->now().toLocalTime());
}

void DisplayController::changeDisplay(const std::function<void(DisplayState&)>& change)
{
    const DisplayState before = m_display;
    change(m_display);
    announceDisplayChanges(before);
}

void DisplayController::announceDisplayChanges(const DisplayState& before)
{
    const DisplayState& now = m_display;
    const auto announce = [this](bool differs, void (DisplayController::*changed)()) {
        if (differs)
            emit(this->*changed)();
    };
    announce(before.power != now.power, &DisplayController::powerChanged);
    announce(before.input != now.input, &DisplayController::inputChanged);
    announce(before.volume != now.volume, &DisplayController::volumeChanged);
    announce(before.mute != now.mute, &DisplayController::muteChanged);
    announce(before.micMute != now.micMute, &DisplayController::micMuteChanged);
    announce(before.brightness != now.brightness, &DisplayController::brightnessChanged);
    announce(before.videoFreeze != now.videoFreeze, &DisplayController::videoFreezeChanged);
    announce(before.screenShade != now.screenShade, &DisplayController::screenShadeChanged);
    announce(before.stateReporting != now.stateReporting,
             &DisplayController::stateReportingChanged);
    announce(before.modelNumber != now.modelNumber, &DisplayController::modelNumberChanged);
    announce(before.serialNumber != now.serialNumber, &DisplayController::serialNumberChanged);
    announce(before.partNumber != now.partNumber, &DisplayController::partNumberChanged);
    announce(before.firmware != now.firmware, &DisplayController::firmwareChanged);
}

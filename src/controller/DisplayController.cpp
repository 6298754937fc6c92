#include "controller/DisplayController.h"

#include "controller/LogExport.h"
#include "serial/HotplugSource.h"
#include "serial/PortScanner.h"
#include "serial/SerialPort.h"
#include "serial/SystemPortScanner.h"
#include "serial/USBSerialWatcher.h"
#include "simulator/DisplaySimulator.h"

#include <QPointer>
#include <QTimer>

namespace {

// Keys of the persisted settings.
const QString keySerialSettings = QStringLiteral("serialSettings");
const QString keyLastPortPath = QStringLiteral("lastPortPath");
const QString keyPollingEnabled = QStringLiteral("pollingEnabled");
const QString keyPollingInterval = QStringLiteral("pollingInterval");
const QString keyDisplaySeries = QStringLiteral("displaySeries");
const QString keyAutoReconnect = QStringLiteral("autoReconnect");

// Two losses within this window point at a loose contact.
constexpr qint64 repeatedDropoutWindowSeconds = 600;

} // namespace

DisplayController::DisplayController(QSettings& store, ControllerOptions options, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_options(std::move(options))
    , m_clock(m_options.clock ? m_options.clock : std::make_shared<const Clock>())
    , m_scanner(m_options.scanner ? m_options.scanner : std::make_shared<SystemPortScanner>())
    , m_hotplug(m_options.hotplug ? m_options.hotplug : std::make_shared<USBSerialWatcher>())
{
    m_promptTimer.setSingleShot(true);
    m_promptTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_promptTimer, &QTimer::timeout, this, [this] {
        if (m_promptTimerGeneration == m_waiterGeneration)
            releaseWaiter(false);
    });

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
    // The port and the simulator go first: nothing they deliver may reach a half-destroyed
    // controller.
    m_port.reset();
    m_simulator.reset();
    if (m_hotplug)
        m_hotplug->onChange = nullptr;
}

void DisplayController::decideStartupConnection()
{
    const QString lastPath = m_store.value(keyLastPortPath).toString();
    if (!m_options.connectAtStartup || !m_autoReconnect ||
        qEnvironmentVariableIsSet("XCTestConfigurationFilePath") || lastPath.isEmpty() ||
        SerialPortInfo::isSimulatorPath(lastPath))
        return;

    update(m_wantedPath, std::optional(lastPath), &DisplayController::wantedPathChanged);
    if (isListed(lastPath)) {
        setSelectedPath(lastPath);
        // After construction, so whoever created the controller sees every step.
        QTimer::singleShot(0, this, [this] { connect(false); });
    } else {
        setConnection(ConnectionState::waiting());
    }
}

void DisplayController::loadStoredSettings()
{
    if (m_store.contains(keySerialSettings)) {
        const auto stored =
            SerialSettings::fromJson(m_store.value(keySerialSettings).toByteArray());
        if (stored && *stored != m_settings)
            setSettings(*stored);
    }

    const QString lastPath = m_store.value(keyLastPortPath).toString();
    setSelectedPath(SerialPortInfo::isSimulatorPath(lastPath) ? QString() : lastPath);

    if (m_store.contains(keyPollingEnabled))
        setPollingEnabled(m_store.value(keyPollingEnabled).toBool());

    const double interval = m_store.value(keyPollingInterval, 0.0).toDouble();
    if (interval > 0)
        setPollingInterval(interval);

    const auto storedSeries = displaySeriesFromRaw(m_store.value(keyDisplaySeries).toString());
    if (storedSeries)
        update(m_series, *storedSeries, &DisplayController::seriesChanged);

    if (m_store.contains(keyAutoReconnect))
        setAutoReconnect(m_store.value(keyAutoReconnect).toBool());
}

void DisplayController::saveSettings()
{
    if (const auto json = m_settings.toJson())
        m_store.setValue(keySerialSettings, *json);
}

void DisplayController::setSelectedPath(const QString& path)
{
    update(m_selectedPath, path, &DisplayController::selectedPathChanged);
}

void DisplayController::setSettings(const SerialSettings& settings)
{
    if (!update(m_settings, settings, &DisplayController::settingsChanged))
        return;
    saveSettings();
    // Changes apply at once, also on an open line; a driver that refuses one keeps
    // working with what it had.
    if (m_port)
        (void)m_port->apply(m_settings);
}

void DisplayController::setAutoReconnect(bool on)
{
    update(m_autoReconnect, on, &DisplayController::autoReconnectChanged);
    m_store.setValue(keyAutoReconnect, on);
}

void DisplayController::setSeries(DisplaySeries series)
{
    update(m_series, series, &DisplayController::seriesChanged);
    m_store.setValue(keyDisplaySeries, rawValue(series));
}

void DisplayController::setPollingEnabled(bool on)
{
    update(m_pollingEnabled, on, &DisplayController::pollingEnabledChanged);
    m_store.setValue(keyPollingEnabled, on);
}

void DisplayController::setPollingInterval(double seconds)
{
    update(m_pollingInterval, seconds, &DisplayController::pollingIntervalChanged);
    m_store.setValue(keyPollingInterval, seconds);
}

void DisplayController::setShowHex(bool on)
{
    update(m_showHex, on, &DisplayController::showHexChanged);
}

bool DisplayController::hasRepeatedDropouts() const
{
    const QDateTime windowStart = now().addSecs(-repeatedDropoutWindowSeconds);
    int recent = 0;
    for (const QDateTime& time : m_dropouts) {
        if (time > windowStart)
            ++recent;
    }
    return recent > 1;
}

void DisplayController::resetDropouts()
{
    update(m_dropouts, {}, &DisplayController::dropoutsChanged);
    update(m_reconnects, 0, &DisplayController::reconnectsChanged);
}

QString DisplayController::proposedExportFileName() const
{
    return ::proposedExportFileName(now());
}

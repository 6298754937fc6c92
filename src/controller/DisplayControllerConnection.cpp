// Opening and closing the line, dropouts of a flaky adapter and the bounded series of
// reconnection attempts when it comes back.
#include "controller/DisplayController.h"

#include "controller/StoreKeys.h"
#include "discovery/PortScanner.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortDoctor.h"
#include "line/Line.h"
#include "line/NetworkAddress.h"
#include "simulator/DisplaySimulator.h"

namespace {

// A replugged adapter needs a moment before its device node can be opened; then
// the attempts come every 0.8 s, six in about 4.4 s.
constexpr double firstReconnectDelaySeconds = 0.4;
constexpr double reconnectIntervalSeconds = 0.8;
constexpr int reconnectAttempts = 6;
// A network gateway may be gone for minutes (a reboot, a switch): after a series that
// found it unreachable, the next starts after this pause, until the user stops waiting.
constexpr double networkRetryPauseSeconds = 30;
// Network addresses remembered for the port list.
constexpr qsizetype maxRecentNetworkAddresses = 10;

using Case = ConnectionState::Case;

// A line is destroyed from the event loop: the call that ends it may come from inside
// one of its own callbacks.
void retire(QObject* context, std::unique_ptr<Line> line)
{
    if (!line)
        return;
    line->close();
    QMetaObject::invokeMethod(
        context, [retired = std::shared_ptr<Line>(std::move(line))] {}, Qt::QueuedConnection);
}

bool isNetwork(const std::optional<QString>& path)
{
    return path && NetworkAddress::parse(*path).has_value();
}

// The log's words for what the line runs through: an adapter, or a network gateway.
QString lostText(bool network)
{
    return network ? QStringLiteral("Netzwerkverbindung abgerissen: ")
                   : QStringLiteral("Verbindung zum Wandler abgerissen: ");
}

QString waitingText(bool network)
{
    return network ? QStringLiteral("Warte auf das Gateway \u2013 verbindet sich selbst, sobald "
                                    "es wieder erreichbar ist")
                   : QStringLiteral("Warte auf den Wandler \u2013 verbindet sich selbst, sobald "
                                    "er wieder da ist");
}

QString backText(bool network, int attempt)
{
    return (network
                ? QStringLiteral("Gateway wieder erreichbar \u2013 automatisch neu verbunden "
                                 "(Versuch ")
                : QStringLiteral("Wandler wieder da \u2013 automatisch neu verbunden (Versuch ")) +
           QString::number(attempt) + u')';
}

} // namespace

void DisplayController::setConnection(const ConnectionState& state)
{
    update(m_connection, state, &DisplayController::connectionChanged);
}

bool DisplayController::isListed(const QString& path) const
{
    // A network address is always there to be tried; only connecting tells.
    if (NetworkAddress::parse(path))
        return true;
    return std::any_of(m_ports.begin(), m_ports.end(),
                       [&](const SerialPortInfo& port) { return port.path == path; });
}

QList<SerialPortInfo> DisplayController::networkEntries() const
{
    QList<SerialPortInfo> entries;
    for (const QString& text : m_store.value(StoreKeys::recentNetworkAddresses).toStringList()) {
        const auto address = NetworkAddress::parse(text);
        if (!address)
            continue;
        entries.append({text, text,
                        address->kind == NetworkAddress::Kind::rfc2217
                            ? QStringLiteral("Netzwerk \u00B7 RFC 2217 (Einstellungen gehen mit)")
                            : QStringLiteral("Netzwerk \u00B7 TCP (Einstellungen am Gateway)"),
                        false});
    }
    return entries;
}

bool DisplayController::rememberNetworkAddress(const QString& address)
{
    if (!NetworkAddress::parse(address))
        return false;
    QStringList recent = m_store.value(StoreKeys::recentNetworkAddresses).toStringList();
    recent.removeAll(address);
    recent.prepend(address);
    m_store.setValue(StoreKeys::recentNetworkAddresses,
                     QStringList(recent.first(std::min(recent.size(), maxRecentNetworkAddresses))));
    refreshPorts();
    setSelectedPath(address);
    return true;
}

void DisplayController::refreshPorts()
{
    QList<SerialPortInfo> ports = m_scanner->scanPorts();
    ports += networkEntries();
    ports += SerialPortInfo::simulatorEntries();
    update(m_ports, ports, &DisplayController::portsChanged);
    update(m_unboundAdapters, m_scanner->scanAdapters(),
           &DisplayController::unboundAdaptersChanged);
    setSelectedPath(SerialPortInfo::repairSelection(m_selectedPath, m_ports));
}

void DisplayController::connectLine()
{
    openSelected(false);
}

void DisplayController::disconnectLine()
{
    tearDownLine(false);
}

void DisplayController::openSelected(bool isReconnect, std::function<void()> after)
{
    if (m_selectedPath.isEmpty())
        return;
    const QString selected = m_selectedPath;
    tearDownLine(true);
    if (!isReconnect)
        m_reconnect.cancel();
    update(m_wantedPath,
           SerialPortInfo::isSimulatorPath(selected) ? std::nullopt : std::optional(selected),
           &DisplayController::wantedPathChanged);
    setConnection(ConnectionState::connecting());

    QString device = selected;
    if (SerialPortInfo::isSimulatorPath(selected)) {
        const bool loopback = selected == SerialPortInfo::loopbackSimulatorPath;
        if (!loopback && selected != SerialPortInfo::smartSimulatorPath) {
            finishOpening(selected, SerialPortError::unknownAddress(selected));
            if (after)
                after();
            return;
        }
        if (loopback)
            setRawMode(true);
        auto simulator = std::make_unique<DisplaySimulator>(m_series, loopback);
        if (auto error = simulator->start()) {
            finishOpening(selected, error);
            if (after)
                after();
            return;
        }
        m_simulator = std::move(simulator);
        appendLog(LogEntry::Kind::info,
                  QStringLiteral("Simulator gestartet auf ") + m_simulator->devicePath());
        device = m_simulator->devicePath();
    }

    m_openingLine = m_options.makeLine(device, m_settings);
    Line* line = m_openingLine.get();
    line->onData = [this](const QByteArray& chunk) { handleReceived(chunk); };
    line->onClose = [this](const QString& reason) { handleConnectionLost(reason); };
    line->onNotice = [this](const QString& text) { appendLog(LogEntry::Kind::error, text); };
    // A line closed before it opened never calls back, so `after` runs only for an
    // attempt that came to an end by itself.
    line->open([this, selected, after](std::optional<SerialPortError> error) {
        finishOpening(selected, std::move(error));
        if (after)
            after();
    });
}

void DisplayController::finishOpening(const QString& selected, std::optional<SerialPortError> error)
{
    if (error) {
        retire(this, std::move(m_openingLine));
        if (m_simulator) {
            m_simulator->stop();
            m_simulator.reset();
        }
        const QString text = withCause(selected, *error).description();
        setConnection(ConnectionState::failed(text));
        appendLog(LogEntry::Kind::error, text);
        return;
    }
    m_line = std::move(m_openingLine);
    examineOpenedPort(selected);
    setConnection(ConnectionState::connected());
    if (!SerialPortInfo::isSimulatorPath(selected))
        m_store.setValue(StoreKeys::lastPortPath, selected);
    if (NetworkAddress::parse(selected))
        rememberNetworkAddress(selected);

    appendLog(LogEntry::Kind::info, QStringLiteral("Verbunden mit ") + m_line->name() +
                                        QStringLiteral(" \u00B7 ") + m_settings.summary() +
                                        QStringLiteral(" \u00B7 Flusssteuerung ") +
                                        label(m_settings.flowControl));
    m_pump.start();
    pumpStep();
    if (m_rawMode)
        appendLog(LogEntry::Kind::info,
                  QStringLiteral("Rohdaten-Modus aktiv \u2013 keine Abfragen an das Display"));

    send(QString()); // the bare line ending makes the display show a fresh prompt
    if (m_options.refreshAtConnect)
        refreshAll();
    startPolling();
}

SerialPortError DisplayController::withCause(const QString& selected,
                                             const SerialPortError& error) const
{
    // Simulators and network lines have no device node on this computer to examine.
    if (error.kind() != SerialPortError::Kind::openFailed || error.errnum() == 0 ||
        SerialPortInfo::isSimulatorPath(selected) || NetworkAddress::parse(selected))
        return error;
    return error.withCause(m_doctor->explainOpenFailure(error.path(), error.errnum()));
}

void DisplayController::examineOpenedPort(const QString& selected)
{
    m_receivedAfterConnect.clear();
    m_examinedPath.clear();
    m_openedDevicePath.clear();
    if (SerialPortInfo::isSimulatorPath(selected) || NetworkAddress::parse(selected))
        return;
    m_examinedPath = m_openedDevicePath = selected;
}

std::optional<int> DisplayController::adapterLatencyTimerMs() const
{
    if (m_openedDevicePath.isEmpty())
        return std::nullopt;
    return m_doctor->examine(m_openedDevicePath, PortDoctor::Depth::quick).facts.latencyTimerMs;
}

void DisplayController::watchForModemProbe(const QByteArray& chunk)
{
    // A probe comes at once or not at all; later bytes are the display's.
    constexpr qsizetype watchedBytes = 256;
    if (m_examinedPath.isEmpty() || m_receivedAfterConnect.size() >= watchedBytes)
        return;
    m_receivedAfterConnect += chunk.left(watchedBytes - m_receivedAfterConnect.size());
    if (!PortDiagnosis::looksLikeModemProbe(m_receivedAfterConnect))
        return;
    const PortReport report =
        m_doctor->examine(m_examinedPath, PortDoctor::Depth::quick, m_receivedAfterConnect);
    m_examinedPath.clear(); // told once per connection
    for (const Finding& finding : report.findings) {
        if (finding.id == QLatin1String("modemmanager"))
            appendLog(LogEntry::Kind::error, finding.text + u' ' + finding.fix);
    }
}

void DisplayController::tearDownLine(bool quiet)
{
    m_examinedPath.clear();
    m_openedDevicePath.clear();
    stopTest();
    stopLoopback();
    m_poll.cancel();
    m_pump.cancel();
    releaseWaiter(false);
    if (!m_queue.isEmpty()) {
        m_queue.clear();
        emit queueChanged();
    }
    setCurrent(std::nullopt);

    retire(this, std::move(m_openingLine));
    if (m_line) {
        if (!quiet)
            appendLog(LogEntry::Kind::info, QStringLiteral("Verbindung getrennt"));
        retire(this, std::move(m_line));
    }
    if (m_simulator) {
        m_simulator->stop();
        m_simulator.reset();
    }
    m_parser = SmartParser();
    update(m_displayResponding, false, &DisplayController::displayRespondingChanged);

    if (!quiet) {
        update(m_wantedPath, std::optional<QString>(), &DisplayController::wantedPathChanged);
        m_reconnect.cancel();
        setConnection(ConnectionState::disconnected());
    } else if (m_connection.is(Case::connected) || m_connection.is(Case::waiting)) {
        setConnection(ConnectionState::disconnected());
    }
}

void DisplayController::handleConnectionLost(const std::optional<QString>& reason)
{
    if (!m_line)
        return; // the same loss reported a second time
    m_dropouts.record(m_clock->now());
    emit dropoutsChanged();
    appendLog(LogEntry::Kind::error,
              lostText(isNetwork(m_wantedPath)) + reason.value_or(QStringLiteral("unbekannt")));
    tearDownLine(true);
    refreshPorts();

    if (m_autoReconnect && m_wantedPath) {
        setConnection(ConnectionState::waiting());
        appendLog(LogEntry::Kind::info, waitingText(isNetwork(m_wantedPath)));
        if (isListed(*m_wantedPath))
            startReconnectAttempts();
    } else {
        setConnection(ConnectionState::failed(QStringLiteral("Schnittstelle getrennt")));
    }
}

void DisplayController::handleUSBChange()
{
    refreshPorts();
    if (m_connection.is(Case::connected) && m_wantedPath && !isListed(*m_wantedPath))
        handleConnectionLost(QStringLiteral("Wandler vom USB getrennt"));
    if (m_connection.is(Case::waiting) && m_wantedPath && isListed(*m_wantedPath))
        startReconnectAttempts();
}

void DisplayController::startReconnectAttempts()
{
    if (m_reconnect.isRunning() || !m_wantedPath)
        return;
    const QString target = *m_wantedPath;
    m_reconnect.start();
    m_reconnect.sleep(firstReconnectDelaySeconds, [this, target] { reconnectAttempt(target, 1); });
}

void DisplayController::reconnectAttempt(const QString& target, int attempt)
{
    if (m_wantedPath != target) {
        // Whoever changed the wanted path wants something else: the series ends, so
        // that a later loss can start one of its own.
        m_reconnect.cancel();
        return;
    }
    refreshPorts();
    if (!isListed(target)) {
        afterReconnectAttempt(target, attempt, false);
        return;
    }
    setSelectedPath(target);
    openSelected(true, [this, target, attempt] {
        if (m_reconnect.isRunning())
            afterReconnectAttempt(target, attempt, true);
    });
}

void DisplayController::afterReconnectAttempt(const QString& target, int attempt, bool listed)
{
    if (listed && m_connection.is(Case::connected)) {
        m_reconnect.cancel();
        update(m_reconnects, m_reconnects + 1, &DisplayController::reconnectsChanged);
        appendLog(LogEntry::Kind::info, backText(isNetwork(target), attempt));
        return;
    }
    if (listed)
        setConnection(ConnectionState::waiting());
    if (attempt < reconnectAttempts) {
        m_reconnect.sleep(reconnectIntervalSeconds,
                          [this, target, attempt] { reconnectAttempt(target, attempt + 1); });
        return;
    }
    if (isNetwork(target) && m_connection.is(Case::waiting)) {
        appendLog(
            LogEntry::Kind::error,
            QStringLiteral("\u201E%1\u201C ist nicht erreichbar \u2013 neuer Versuch in %2 s.")
                .arg(target)
                .arg(networkRetryPauseSeconds));
        m_reconnect.sleep(networkRetryPauseSeconds,
                          [this, target] { reconnectAttempt(target, 1); });
        return;
    }
    m_reconnect.cancel();
    // Only an adapter that is there can be said to refuse; one that is still missing is
    // simply waited for.
    if (listed && m_connection.is(Case::waiting))
        appendLog(LogEntry::Kind::error,
                  QStringLiteral("Wandler ist da, l\u00E4sst sich aber nicht \u00F6ffnen \u2013 "
                                 "belegt ein anderes Programm den Port?"));
}

void DisplayController::handleWriteError(const SerialPortError& error)
{
    if (error.meansDeviceGone()) {
        handleConnectionLost(systemErrorText(error.errnum()));
        return;
    }
    appendLog(LogEntry::Kind::error, error.description());
}

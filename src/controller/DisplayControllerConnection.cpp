// Opening and closing the line, dropouts of a flaky adapter and the bounded series of
// reconnection attempts when it comes back.
#include "controller/DisplayController.h"

#include "serial/HotplugSource.h"
#include "serial/PortScanner.h"
#include "serial/SerialPort.h"
#include "simulator/DisplaySimulator.h"

namespace {

// Losses kept for the sidebar's statistics; the oldest goes first.
constexpr int maxDropouts = 50;
// A replugged adapter needs a moment before its device node can be opened; then
// the attempts come every 0.8 s, six in about 4.4 s.
constexpr double firstReconnectDelaySeconds = 0.4;
constexpr double reconnectIntervalSeconds = 0.8;
constexpr int reconnectAttempts = 6;

using Case = ConnectionState::Case;

QString flowControlText(SerialSettings::FlowControl flow)
{
    return label(flow);
}

} // namespace

void DisplayController::setConnection(const ConnectionState& state)
{
    update(m_connection, state, &DisplayController::connectionChanged);
}

bool DisplayController::isListed(const QString& path) const
{
    return std::any_of(m_ports.begin(), m_ports.end(),
                       [&](const SerialPortInfo& port) { return port.path == path; });
}

void DisplayController::refreshPorts()
{
    QList<SerialPortInfo> ports = m_scanner->scanPorts();
    ports += SerialPortInfo::simulatorEntries();
    update(m_ports, ports, &DisplayController::portsChanged);
    update(m_unboundAdapters, m_scanner->scanAdapters(),
           &DisplayController::unboundAdaptersChanged);
    setSelectedPath(SerialPortInfo::repairSelection(m_selectedPath, m_ports));
}

void DisplayController::connect(bool isReconnect)
{
    if (m_selectedPath.isEmpty())
        return;
    const QString selected = m_selectedPath;
    disconnect(true);
    if (!isReconnect)
        m_reconnect.cancel();
    update(m_wantedPath,
           SerialPortInfo::isSimulatorPath(selected) ? std::nullopt : std::optional(selected),
           &DisplayController::wantedPathChanged);
    setConnection(ConnectionState::connecting());

    if (const auto error = openLine(selected)) {
        if (m_simulator) {
            m_simulator->stop();
            m_simulator.reset();
        }
        const QString text = error->description();
        setConnection(ConnectionState::failed(text));
        appendLog(LogEntry::Kind::error, text);
        return;
    }
    setConnection(ConnectionState::connected());
    if (!SerialPortInfo::isSimulatorPath(selected))
        m_store.setValue(QStringLiteral("lastPortPath"), selected);

    appendLog(LogEntry::Kind::info, QStringLiteral("Verbunden mit ") + m_port->path() +
                                        QStringLiteral(" \u00B7 ") + m_settings.summary() +
                                        QStringLiteral(" \u00B7 Flusssteuerung ") +
                                        flowControlText(m_settings.flowControl));
    m_pump.start();
    pumpStep();
    if (m_rawMode)
        appendLog(LogEntry::Kind::info,
                  QStringLiteral("Rohdaten-Modus aktiv \u2013 keine Abfragen an das Display"));

    send(QString()); // the bare line ending makes the display show a fresh prompt
    refreshAll();
    startPolling();
}

std::optional<SerialPortError> DisplayController::openLine(const QString& selected)
{
    QString device = selected;
    if (SerialPortInfo::isSimulatorPath(selected)) {
        const bool loopback = selected == SerialPortInfo::loopbackSimulatorPath;
        if (loopback)
            setRawMode(true);
        auto simulator = std::make_unique<DisplaySimulator>(m_series, loopback);
        if (auto error = simulator->start())
            return error;
        m_simulator = std::move(simulator);
        appendLog(LogEntry::Kind::info,
                  QStringLiteral("Simulator gestartet auf ") + m_simulator->devicePath());
        device = m_simulator->devicePath();
    }

    auto port = std::make_unique<SerialPort>(device, m_settings);
    port->onData = [this](const QByteArray& chunk) { handleReceived(chunk); };
    port->onClose = [this](const QString& reason) { handleConnectionLost(reason); };
    if (auto error = port->open())
        return error;
    m_port = std::move(port);
    return std::nullopt;
}

void DisplayController::disconnect(bool quiet)
{
    stopTest();
    stopLoopback();
    m_poll.cancel();
    m_pump.cancel();
    releaseWaiter(false);
    update(m_queue, {}, &DisplayController::queueChanged);
    update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);

    if (m_port) {
        if (!quiet)
            appendLog(LogEntry::Kind::info, QStringLiteral("Verbindung getrennt"));
        m_port->close();
        // The port may be the one whose callback brought us here: it is destroyed from
        // the event loop, after that callback has returned.
        QMetaObject::invokeMethod(
            this, [retired = std::shared_ptr<SerialPort>(std::move(m_port))] {},
            Qt::QueuedConnection);
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

void DisplayController::recordDropout()
{
    QList<QDateTime> dropouts = m_dropouts;
    dropouts.append(now());
    while (dropouts.size() > maxDropouts)
        dropouts.removeFirst();
    update(m_dropouts, dropouts, &DisplayController::dropoutsChanged);
}

void DisplayController::handleConnectionLost(const std::optional<QString>& reason)
{
    if (!m_port)
        return; // the same loss reported a second time
    recordDropout();
    appendLog(LogEntry::Kind::error, QStringLiteral("Verbindung zum Wandler abgerissen: ") +
                                         reason.value_or(QStringLiteral("unbekannt")));
    disconnect(true);
    refreshPorts();

    if (m_autoReconnect && m_wantedPath) {
        setConnection(ConnectionState::waiting());
        appendLog(LogEntry::Kind::info,
                  QStringLiteral("Warte auf den Wandler \u2013 verbindet sich selbst, sobald er "
                                 "wieder da ist"));
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
    // Whoever changed the wanted path has already ended this series.
    if (m_wantedPath != target)
        return;
    refreshPorts();
    if (isListed(target)) {
        setSelectedPath(target);
        connect(true);
        if (m_connection.is(Case::connected)) {
            m_reconnect.cancel();
            update(m_reconnects, m_reconnects + 1, &DisplayController::reconnectsChanged);
            appendLog(
                LogEntry::Kind::info,
                QStringLiteral("Wandler wieder da \u2013 automatisch neu verbunden (Versuch ") +
                    QString::number(attempt) + u')');
            return;
        }
        setConnection(ConnectionState::waiting());
    }
    if (attempt < reconnectAttempts) {
        m_reconnect.sleep(reconnectIntervalSeconds,
                          [this, target, attempt] { reconnectAttempt(target, attempt + 1); });
        return;
    }
    m_reconnect.cancel();
    if (m_connection.is(Case::waiting))
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

#include "controller/LineSession.h"

#include "controller/Clock.h"
#include "controller/PortList.h"
#include "controller/TrafficLog.h"
#include "discovery/SerialPortInfo.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortDoctor.h"
#include "line/Line.h"
#include "line/NetworkAddress.h"
#include "simulator/DisplaySimulator.h"

#include <QPointer>

namespace {

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

// The log's words for what the line runs through: an adapter, or a network gateway.
QString lostText(bool network, const QString& reason)
{
    return (network ? LineSession::tr("Netzwerkverbindung abgerissen: %1")
                    : LineSession::tr("Verbindung zum Wandler abgerissen: %1"))
        .arg(reason);
}

QString waitingText(bool network)
{
    return network ? LineSession::tr("Warte auf das Gateway – verbindet sich selbst, sobald es "
                                     "wieder erreichbar ist")
                   : LineSession::tr("Warte auf den Wandler – verbindet sich selbst, sobald er "
                                     "wieder da ist");
}

QString backText(bool network, int attempt)
{
    return (network ? LineSession::tr("Gateway wieder erreichbar – automatisch neu verbunden "
                                      "(Versuch %1)")
                    : LineSession::tr("Wandler wieder da – automatisch neu verbunden (Versuch %1)"))
        .arg(attempt);
}

} // namespace

LineSession::LineSession(PortList& ports, TrafficLog& log, std::shared_ptr<const Clock> clock,
                         std::shared_ptr<PortDoctor> doctor, LineMaker makeLine, Stored stored,
                         QObject* parent)
    : QObject(parent)
    , m_ports(ports)
    , m_log(log)
    , m_clock(std::move(clock))
    , m_doctor(std::move(doctor))
    , m_makeLine(std::move(makeLine))
    , m_stored(std::move(stored))
    , m_reconnect(this, *m_clock)
{
    connect(&m_ports, &PortList::hotplugged, this, &LineSession::onHotplug);
}

LineSession::~LineSession()
{
    // The lines and the simulator go first: nothing they deliver may reach a
    // half-destroyed session.
    m_openingLine.reset();
    m_line.reset();
    m_simulator.reset();
}

void LineSession::setSettings(const SerialSettings& settings)
{
    if (settings == m_stored.settings)
        return;
    const SerialSettings before = std::exchange(m_stored.settings, settings);
    emit settingsChanged();
    // Changes apply at once, also on an open line; a driver that refuses one keeps
    // working with what it had. Reconfiguring flushes the line, so only a change of the
    // line itself does it: a new timeout must not throw away a reply in flight.
    if (m_line && !settings.sameLine(before))
        (void)m_line->apply(settings);
}

void LineSession::setAutoReconnect(bool on)
{
    if (on == m_stored.autoReconnect)
        return;
    m_stored.autoReconnect = on;
    emit storedChanged();
}

bool LineSession::hasRepeatedDropouts() const
{
    return m_dropouts.hasRepeated(m_clock->now());
}

void LineSession::resetDropouts()
{
    if (m_dropouts.isEmpty() && m_reconnects == 0)
        return;
    m_dropouts.clear();
    m_reconnects = 0;
    emit dropoutsChanged();
}

void LineSession::setConnection(const ConnectionState& state)
{
    if (state == m_connection)
        return;
    m_connection = state;
    emit connectionChanged();
}

void LineSession::setWanted(const std::optional<QString>& path)
{
    m_wantedPath = path;
}

bool LineSession::isNetwork(const std::optional<QString>& path) const
{
    return path && NetworkAddress::parse(*path).has_value();
}

void LineSession::open(const QString& path)
{
    openLine(path, false);
}

void LineSession::close()
{
    tearDown(false);
}

void LineSession::waitFor(const QString& path)
{
    setWanted(path);
    setConnection(ConnectionState::waiting());
}

void LineSession::openLine(const QString& path, bool isReconnect, std::function<void()> after)
{
    if (path.isEmpty())
        return;
    tearDown(true);
    if (!isReconnect)
        m_reconnect.cancel();
    setWanted(SerialPortInfo::isSimulatorPath(path) ? std::nullopt : std::optional(path));
    setConnection(ConnectionState::connecting());
    const auto finish = [this, path, after](std::optional<SerialPortError> error) {
        finishOpening(path, std::move(error));
        if (after)
            after();
    };

    QString device = path;
    if (SerialPortInfo::isSimulatorPath(path)) {
        const bool loopback = path == SerialPortInfo::loopbackSimulatorPath;
        if (!loopback && path != SerialPortInfo::smartSimulatorPath)
            return finish(SerialPortError::unknownAddress(path));
        // The simulated display is of the series last seen.
        auto simulator = std::make_unique<DisplaySimulator>(m_simulatedSeries, loopback);
        if (auto error = simulator->start())
            return finish(error);
        m_simulator = std::move(simulator);
        m_log.info(tr("Simulator gestartet auf %1").arg(m_simulator->devicePath()));
        device = m_simulator->devicePath();
    }

    m_openingLine = m_makeLine(device, m_stored.settings);
    Line* line = m_openingLine.get();
    line->onData = [this](const QByteArray& chunk) { handleReceived(chunk); };
    line->onClose = [this](const QString& reason) { lose(reason); };
    line->onNotice = [this](const QString& text) { m_log.error(text); };
    // A line closed before it opened never calls back, so `after` runs only for an
    // attempt that came to an end by itself.
    line->open(finish);
}

void LineSession::finishOpening(const QString& path, std::optional<SerialPortError> error)
{
    if (error) {
        retire(this, std::move(m_openingLine));
        if (m_simulator) {
            m_simulator->stop();
            m_simulator.reset();
        }
        // The doctor tells why a device of this computer does not open; simulators and
        // network lines have no device node here to examine.
        if (error->kind() == SerialPortError::Kind::openFailed && error->errnum() != 0 &&
            !SerialPortInfo::isSimulatorPath(path) && !NetworkAddress::parse(path))
            error = error->withCause(m_doctor->explainOpenFailure(error->path(), error->errnum()));
        const QString text = error->description();
        setConnection(ConnectionState::failed(text));
        m_log.error(text);
        return;
    }
    m_line = std::move(m_openingLine);
    ++m_openings;
    m_openPath = path;
    m_receivedAfterConnect.clear();
    const bool localDevice = !SerialPortInfo::isSimulatorPath(path) && !NetworkAddress::parse(path);
    m_examinedPath = m_devicePath = localDevice ? path : QString();
    setConnection(ConnectionState::connected());
    if (!SerialPortInfo::isSimulatorPath(path) && m_stored.lastPath != path) {
        m_stored.lastPath = path;
        emit storedChanged();
    }
    if (NetworkAddress::parse(path))
        m_ports.rememberNetworkAddress(path);

    m_log.info(tr("Verbunden mit %1 · %2 · Flusssteuerung %3")
                   .arg(m_line->name(), m_stored.settings.summary(),
                        label(m_stored.settings.flowControl)));
    emit opened();
}

void LineSession::tearDown(bool quiet)
{
    if (m_line || m_openingLine)
        emit closing();
    m_examinedPath.clear();
    m_devicePath.clear();
    m_openPath.clear();

    retire(this, std::move(m_openingLine));
    if (m_line) {
        if (!quiet)
            m_log.info(disconnectedText());
        retire(this, std::move(m_line));
    }
    if (m_simulator) {
        m_simulator->stop();
        m_simulator.reset();
    }
    if (m_hearsBytes) {
        m_hearsBytes = false;
        emit hearingChanged();
    }

    if (!quiet) {
        setWanted(std::nullopt);
        m_reconnect.cancel();
        setConnection(ConnectionState::disconnected());
    } else if (m_connection.is(Case::connected) || m_connection.is(Case::waiting)) {
        setConnection(ConnectionState::disconnected());
    }
}

QString LineSession::notConnectedText()
{
    return tr("Nicht verbunden.");
}

QString LineSession::disconnectedText()
{
    return tr("Verbindung getrennt");
}

bool LineSession::write(const QByteArray& bytes)
{
    if (!m_line) {
        m_log.error(notConnectedText());
        return false;
    }
    const auto error = m_line->write(bytes);
    if (!error)
        return true;
    if (error->meansDeviceGone()) {
        // From the event loop: the writer is in the middle of its own work.
        QMetaObject::invokeMethod(
            this,
            [this, opening = m_openings, reason = systemErrorText(error->errnum())] {
                if (m_line && m_openings == opening)
                    lose(reason);
            },
            Qt::QueuedConnection);
    } else {
        m_log.error(error->description());
    }
    return false;
}

void LineSession::handleReceived(const QByteArray& chunk)
{
    m_hearsBytes = true;
    m_lastReceived = m_clock->now();
    emit hearingChanged();
    watchForModemProbe(chunk);
    emit received(chunk);
}

void LineSession::lose(const std::optional<QString>& reason)
{
    if (!m_line)
        return; // the same loss reported a second time
    m_dropouts.record(m_clock->now());
    emit dropoutsChanged();
    m_log.error(lostText(isNetwork(m_wantedPath), reason.value_or(tr("unbekannt"))));
    tearDown(true);
    m_ports.refresh();

    if (m_stored.autoReconnect && m_wantedPath) {
        setConnection(ConnectionState::waiting());
        m_log.info(waitingText(isNetwork(m_wantedPath)));
        if (m_ports.isListed(*m_wantedPath))
            startReconnecting();
    } else {
        setConnection(ConnectionState::failed(tr("Schnittstelle getrennt")));
    }
}

void LineSession::onHotplug()
{
    if (m_connection.is(Case::connected) && m_wantedPath && !m_ports.isListed(*m_wantedPath))
        lose(tr("Wandler vom USB getrennt"));
    if (m_connection.is(Case::waiting) && m_wantedPath && m_ports.isListed(*m_wantedPath))
        startReconnecting();
}

void LineSession::startReconnecting()
{
    if (m_reconnect.isRunning() || !m_wantedPath)
        return;
    const QString target = *m_wantedPath;
    const ReconnectPlan::Step first = plan(target).first();
    m_reconnect.start();
    m_reconnect.sleep(first.wait, [this, target, first] { attempt(target, first.attempt); });
}

ReconnectPlan LineSession::plan(const QString& target) const
{
    return ReconnectPlan(isNetwork(target) ? ReconnectPlan::Target::network
                                           : ReconnectPlan::Target::adapter);
}

void LineSession::attempt(const QString& target, int number)
{
    if (m_wantedPath != target) {
        // Whoever changed the wanted path wants something else: the series ends, so
        // that a later loss can start one of its own.
        m_reconnect.cancel();
        return;
    }
    m_ports.refresh();
    if (!m_ports.isListed(target)) {
        afterAttempt(target, number, false);
        return;
    }
    m_ports.select(target);
    openLine(target, true, [this, target, number] {
        if (m_reconnect.isRunning())
            afterAttempt(target, number, true);
    });
}

void LineSession::afterAttempt(const QString& target, int number, bool listed)
{
    if (listed && m_connection.is(Case::connected)) {
        m_reconnect.cancel();
        ++m_reconnects;
        emit dropoutsChanged();
        m_log.info(backText(isNetwork(target), number));
        return;
    }
    if (listed)
        setConnection(ConnectionState::waiting());
    const auto next = plan(target).afterFailure(number);
    if (next) {
        if (next->newSeries && m_connection.is(Case::waiting))
            m_log.error(tr("„%1“ ist nicht erreichbar – neuer Versuch in %2 s.")
                            .arg(target)
                            .arg(next->wait));
        m_reconnect.sleep(next->wait,
                          [this, target, step = *next] { attempt(target, step.attempt); });
        return;
    }
    m_reconnect.cancel();
    // Only an adapter that is there can be said to refuse; one that is still missing is
    // simply waited for.
    if (listed && m_connection.is(Case::waiting))
        m_log.error(tr("Wandler ist da, lässt sich aber nicht öffnen – belegt ein anderes "
                       "Programm den Port?"));
}

std::optional<int> LineSession::adapterLatencyTimerMs() const
{
    if (m_devicePath.isEmpty())
        return std::nullopt;
    return m_doctor->examine(m_devicePath, PortDoctor::Depth::quick).facts.latencyTimerMs;
}

void LineSession::watchForModemProbe(const QByteArray& chunk)
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
            m_log.error(finding.text + u' ' + finding.fix);
    }
}

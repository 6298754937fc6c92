#include "controller/LineSession.h"

#include "controller/Clock.h"
#include "controller/PortList.h"
#include "controller/TrafficLog.h"
#include "discovery/SerialPortInfo.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortDoctor.h"
#include "line/Line.h"

#include <QFileInfo>
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
    // The lines go first: nothing they deliver may reach a half-destroyed session.
    m_openingLine.reset();
    m_line.reset();
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
    if (m_line && !settings.sameLine(before)) {
        if (const auto error = m_line->apply(settings))
            m_log.error(error->text());
    }
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

std::optional<QString> LineSession::wantedPath() const
{
    return m_wanted ? std::optional(m_wanted->text()) : std::nullopt;
}

bool LineSession::isNetwork() const
{
    const auto& address = m_openAddress ? m_openAddress : m_wanted;
    return address && address->isNetwork();
}

bool LineSession::isNewGatewayMessage(const QString& text)
{
    m_gatewaySaid = text; // the reason a loss names, whether shown again or not
    if (m_gatewayMessages.contains(text))
        return false;
    m_gatewayMessages.insert(text);
    return true;
}

void LineSession::open(const LineAddress& address)
{
    m_gatewayMessages.clear(); // the user's own connect begins afresh
    openLine(address, false);
}

void LineSession::close()
{
    tearDown(false);
}

void LineSession::refuse(const QString& why)
{
    tearDown(true);
    setConnection(ConnectionState::failed(why));
    m_log.error(why);
}

void LineSession::waitFor(const LineAddress& address)
{
    m_wanted = address;
    setConnection(ConnectionState::waiting());
}

void LineSession::openLine(const LineAddress& address, bool isReconnect,
                           std::function<void()> after)
{
    tearDown(true);
    if (!isReconnect)
        m_reconnect.cancel();
    m_wanted = address.isSimulator() ? std::nullopt : std::optional(address);
    setConnection(ConnectionState::connecting());

    m_openingLine = m_makeLine(address, m_stored.settings, m_simulatedSeries);
    Line* line = m_openingLine.get();
    line->onData = [this](const QByteArray& chunk) { handleReceived(chunk); };
    line->onError = [this](const LineError& error) { onLineError(error); };
    line->onNote = [this](const QString& text) { m_log.info(text); };
    // A line closed before it opened never calls back, so `after` runs only for an
    // attempt that came to an end by itself.
    line->open([this, address, after](std::optional<LineError> error) {
        finishOpening(address, std::move(error));
        if (after)
            after();
    });
}

void LineSession::finishOpening(const LineAddress& address, std::optional<LineError> error)
{
    if (error) {
        retire(this, std::move(m_openingLine));
        // The doctor tells why a device of this computer does not open.
        if (address.isDevice() && error->errnum() != 0 &&
            error->kind() != LineError::Kind::configureFailed &&
            error->kind() != LineError::Kind::notATerminal)
            error = error->withCause(m_doctor->explainOpenFailure(address.path(), error->errnum()));
        const QString text = error->text();
        setConnection(ConnectionState::failed(text));
        m_log.error(text);
        return;
    }
    m_line = std::move(m_openingLine);
    ++m_openings;
    m_gatewaySaid.clear();
    m_openAddress = address;
    m_receivedAfterConnect.clear();
    m_examinedPath = address.isDevice() ? address.path() : QString();
    setConnection(ConnectionState::connected());
    if (!address.isSimulator() && m_stored.lastPath != address.text()) {
        m_stored.lastPath = address.text();
        emit storedChanged();
    }
    if (address.isNetwork())
        m_ports.rememberNetworkAddress(address.text());

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
    m_openAddress.reset();

    retire(this, std::move(m_openingLine));
    if (m_line) {
        if (!quiet)
            m_log.info(disconnectedText());
        retire(this, std::move(m_line));
    }
    if (m_hearsBytes) {
        m_hearsBytes = false;
        emit hearingChanged();
    }

    if (!quiet) {
        m_wanted.reset();
        m_unconfirmedAttempt.reset();
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
    if (error->gone()) {
        // From the event loop: the writer is in the middle of its own work.
        QMetaObject::invokeMethod(
            this,
            [this, opening = m_openings, reason = error->reason()] {
                if (m_line && m_openings == opening)
                    lose(reason);
            },
            Qt::QueuedConnection);
    } else {
        m_log.error(error->text());
    }
    return false;
}

void LineSession::onLineError(const LineError& error)
{
    // The address names the wrong kind of port: a failed connect, not a dropout, and no
    // attempt will do better.
    if (error.kind() == LineError::Kind::wrongProtocol) {
        m_reconnect.cancel();
        m_unconfirmedAttempt.reset();
        refuse(error.text());
        return;
    }
    if (error.gone())
        lose(error.reason());
    else
        m_log.error(error.text());
}

void LineSession::handleReceived(const QByteArray& chunk)
{
    const bool first = !m_hearsBytes;
    m_hearsBytes = true;
    m_lastReceived = m_clock->now();
    if (first)
        emit hearingChanged();
    watchForModemProbe(chunk);
    emit received(chunk);
}

void LineSession::displayAnswered()
{
    if (const auto attempt = std::exchange(m_unconfirmedAttempt, std::nullopt))
        succeeded(*attempt);
}

void LineSession::succeeded(int attempt)
{
    m_reconnect.cancel();
    m_gatewayMessages.clear();
    ++m_reconnects;
    emit dropoutsChanged();
    m_log.info((isNetwork() ? tr("Gateway wieder erreichbar – automatisch neu verbunden "
                                 "(Versuch %1)")
                            : tr("Wandler wieder da – automatisch neu verbunden (Versuch %1)"))
                   .arg(attempt));
}

void LineSession::lose(const QString& lineReason)
{
    if (!m_line)
        return; // the same loss reported a second time
    const bool network = isNetwork();
    // A gateway that spoke before it hung up said why.
    const QString reason = m_gatewaySaid.isEmpty()
                               ? lineReason
                               : tr("%1 – das Gateway meldete: %2").arg(lineReason, m_gatewaySaid);
    if (const auto attempt = std::exchange(m_unconfirmedAttempt, std::nullopt)) {
        // The gateway took the connection and let it go again before any display answered:
        // no line was back, so this is no dropout but a failed attempt of the series.
        m_log.error(tr("Versuch %1: %2 hat die Verbindung beendet, bevor ein Display "
                       "antwortete (%3).")
                        .arg(QString::number(*attempt), openPath(), reason));
        tearDown(true);
        setConnection(ConnectionState::waiting());
        if (m_wanted)
            afterAttempt(*m_wanted, *attempt, true);
        return;
    }
    m_dropouts.record(m_clock->now());
    ++m_dropoutsTotal;
    emit dropoutsChanged();
    m_log.error(lostText(network, reason));
    tearDown(true);
    m_ports.refresh();

    if (m_stored.autoReconnect && m_wanted) {
        setConnection(ConnectionState::waiting());
        m_log.info(waitingText(network));
        // Without hot-plug nobody would start the series later: it starts now.
        if (!m_hotplugWatched || m_ports.isListed(m_wanted->text()))
            startReconnecting();
    } else {
        setConnection(ConnectionState::failed(tr("Schnittstelle getrennt")));
    }
}

void LineSession::onHotplug()
{
    if (!m_wanted || !m_wanted->isDevice())
        return;
    const bool listed = m_ports.isListed(m_wanted->text());
    if (m_connection.is(Case::connected) && !listed)
        lose(tr("Wandler vom USB getrennt"));
    if (m_connection.is(Case::waiting) && listed)
        startReconnecting();
}

bool LineSession::isPresent(const LineAddress& address) const
{
    if (address.isNetwork() || m_hotplugWatched)
        return m_ports.isListed(address.text());
    return QFileInfo::exists(address.text());
}

ReconnectPlan LineSession::plan() const
{
    return ReconnectPlan(isNetwork() || !m_hotplugWatched ? ReconnectPlan::Target::network
                                                          : ReconnectPlan::Target::adapter);
}

void LineSession::startReconnecting()
{
    if (m_reconnect.isRunning() || !m_wanted)
        return;
    const LineAddress target = *m_wanted;
    const ReconnectPlan::Step first = plan().first();
    m_reconnect.start();
    m_reconnect.after(first.wait, [this, target, first] { attempt(target, first.attempt); });
}

void LineSession::attempt(const LineAddress& target, int number)
{
    if (m_wanted != target) {
        // Whoever changed what is wanted wants something else: the series ends, so that a
        // later loss can start one of its own.
        m_reconnect.cancel();
        return;
    }
    m_ports.refresh();
    if (!isPresent(target)) {
        afterAttempt(target, number, false);
        return;
    }
    m_ports.select(target.text());
    openLine(target, true, [this, target, number] {
        if (!m_reconnect.isRunning())
            return;
        if (!m_connection.is(Case::connected)) {
            afterAttempt(target, number, true);
        } else if (target.isNetwork()) {
            // Open is not back: the display behind the gateway has to answer first.
            m_reconnect.cancel();
            m_reconnect.start();
            m_unconfirmedAttempt = number;
        } else {
            succeeded(number);
        }
    });
}

void LineSession::afterAttempt(const LineAddress& target, int number, bool listed)
{
    if (listed)
        setConnection(ConnectionState::waiting());
    if (const auto next = plan().afterFailure(number)) {
        if (target.isNetwork())
            m_log.info(tr("Nächster Versuch in %1 s.").arg(next->wait));
        if (!m_reconnect.isRunning())
            m_reconnect.start();
        m_reconnect.after(next->wait,
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
    if (!m_openAddress || !m_openAddress->isDevice())
        return std::nullopt;
    return m_doctor->examine(m_openAddress->path(), PortDoctor::Depth::quick).facts.latencyTimerMs;
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

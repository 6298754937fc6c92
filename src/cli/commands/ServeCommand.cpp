#include "cli/commands/ServeCommand.h"

#include "cli/commands/Session.h"
#include "cli/invocation/UserSettings.h"
#include "cli/output/LogLine.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "controller/TrafficLog.h"
#include "discovery/PortScanner.h"
#include "metrics/DisplayMetrics.h"
#include "metrics/MetricsFile.h"
#include "metrics/ProbeCollectable.h"
#include "metrics/SeriesRegistry.h"
#include "mqtt/MqttBridge.h"
#include "process/HandOver.h"
#include "session/LineServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QTimer>
#include <future>
#include <malloc.h>
#include <prometheus/exposer.h>

namespace {

// A probe of an address outside the file waits this long for its display, at most; the
// display is held on for later probes, for as long as probes come.
constexpr auto probeWait = std::chrono::seconds(5);
constexpr qint64 probeKeepMs = 10 * 60 * 1000;
constexpr size_t maxProbed = 256;

// Gentle for fleets: a thousand displays asked every 30 s are about 33 queries a second.
constexpr double defaultPollSeconds = 30.0;

QString tr(const char* text)
{
    return QCoreApplication::translate("ServeCommand", text);
}

} // namespace

// Fulfilled once, on the event loop; an exposer thread waits for it.
struct ServeCommand::ProbeWaiter {
    std::promise<void> promise;
    bool done = false;
    void fulfil()
    {
        if (!std::exchange(done, true))
            promise.set_value();
    }
};

struct ServeCommand::Held {
    Target target;
    std::unique_ptr<DisplayController> controller;
    std::unique_ptr<LineServer> server;
    std::unique_ptr<DisplayMetrics> metrics;

    ~Held()
    {
        metrics.reset(); // its series leave the registry
        server.reset();  // the socket goes before the line
        controller.reset();
    }
};

// A display held for /probe alone, and the probes waiting for its first answer.
struct ServeCommand::Probed {
    std::unique_ptr<Held> held;
    qint64 lastAsked = 0;
    std::vector<std::shared_ptr<ProbeWaiter>> waiters;

    bool settled() const;
    void fulfilAll();
};

ServeCommand::ServeCommand(Session& session)
    : m_session(session)
    , m_noPorts(std::make_shared<NoPortScanner>())
    , m_probeHandOver(std::make_unique<HandOver>())
{
    m_session.setTerminationHandler([this] { stop(); });
}

ServeCommand::~ServeCommand()
{
    // Its threads reach into this command (the probes): they end first.
    m_exposer.reset();
}

void ServeCommand::start()
{
    const Invocation& invocation = m_session.invocation();
    QList<Target> targets;
    if (invocation.targets) {
        QFile file(*invocation.targets);
        if (!file.open(QIODevice::ReadOnly)) {
            m_session.console().err(tr("Zieldatei %1 lässt sich nicht lesen: %2")
                                        .arg(*invocation.targets, file.errorString()));
            m_session.finish(ExitCode::usage);
            return;
        }
        auto parsed = TargetList::parse(QString::fromUtf8(file.readAll()));
        if (const QString* error = std::get_if<QString>(&parsed)) {
            m_session.console().err(*invocation.targets + QStringLiteral(": ") + *error);
            m_session.finish(ExitCode::usage);
            return;
        }
        for (const Target& target : std::get<QList<Target>>(parsed)) {
            if (target.inAnyGroup(invocation.groups))
                targets.append(target);
        }
    } else {
        for (const QString& port : invocation.ports)
            targets.append(Target{port, {}, {}, 0});
    }
    // One line, one holder: a second entry of the same address would fight the first for it.
    QStringList seen;
    for (qsizetype i = 0; i < targets.size();) {
        if (seen.contains(targets.at(i).address)) {
            m_session.console().err(tr("Warnung: %1 steht mehrfach da – gehalten wird es einmal.")
                                        .arg(targets.at(i).address));
            targets.removeAt(i);
            continue;
        }
        seen.append(targets.at(i++).address);
    }
    if (!startMetrics() || !startMqtt())
        return;
    // Read once for every display, and its problems said once.
    m_stored = readUserSettings();
    for (const QString& problem : m_stored.problems)
        m_session.console().err(tr("Warnung: %1").arg(problem));
    for (int i = 0; i < int(targets.size()); ++i)
        hold(targets.at(i), i, int(targets.size()));
    if (m_mqtt)
        m_mqtt->start();
}

bool ServeCommand::startMqtt()
{
    const Invocation& invocation = m_session.invocation();
    if (!invocation.mqtt) {
        if (invocation.mqttCredentials)
            m_session.console().err(tr("Warnung: --mqtt-credentials ohne --mqtt – kein Broker."));
        return true;
    }
    const MqttCredentials::Loaded credentials =
        MqttCredentials::load(invocation.mqttCredentials, QProcessEnvironment::systemEnvironment());
    for (const QString& warning : credentials.warnings)
        m_session.console().err(warning);
    if (!credentials.error.isEmpty()) {
        m_session.console().err(credentials.error);
        m_session.finish(ExitCode::usage);
        return false;
    }
    m_mqtt = std::make_unique<MqttBridge>(*invocation.mqtt, credentials.credentials,
                                          QSysInfo::machineHostName());
    QObject::connect(m_mqtt.get(), &MqttBridge::said, &m_session,
                     [this](const QString& line, bool problem) {
                         if (problem)
                             m_session.console().err(line);
                         else
                             m_session.console().log(line);
                     });
    return true;
}

bool ServeCommand::startMetrics()
{
    const Invocation& invocation = m_session.invocation();
    if (!invocation.metrics && !invocation.textfile)
        return true;
    m_registry = std::make_shared<SeriesRegistry>();
    m_families = std::make_unique<MetricFamilies>(*m_registry);
    // A scrape of a thousand displays builds megabytes of text and frees them again. Kept in
    // the heap, not handed back to the system and faulted in anew each time, that text is
    // built in half the time; the heap keeps a few tens of megabytes for it.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    if (invocation.metrics) {
        try {
            m_exposer = std::make_unique<prometheus::Exposer>(invocation.metrics->toStdString(), 2,
                                                              &ProbeCollectable::callbacks());
        } catch (const std::exception& error) {
            // The web server says only that it could not bind, in English.
            const QString cause = QString::fromUtf8(error.what()).contains(u"binding")
                                      ? tr("die Adresse ist belegt oder hier nicht zu haben "
                                           "(läuft dort schon ein serve?)")
                                      : QString::fromUtf8(error.what());
            m_session.console().err(tr("Die Metriken lassen sich nicht unter %1 anbieten: %2")
                                        .arg(*invocation.metrics, cause));
            m_session.finish(ExitCode::portFailed);
            return false;
        }
        m_exposer->RegisterCollectable(m_registry);
        ProbeCollectable::Fetch fetch;
        if (invocation.probeAny)
            fetch = [this](const std::string& target) { fetchForProbe(target); };
        m_probe = std::make_shared<ProbeCollectable>(m_registry, std::move(fetch));
        m_exposer->RegisterCollectable(m_probe, "/probe");
        m_session.console().log(tr("Metriken unter http://%1/metrics").arg(*invocation.metrics));
    }
    if (invocation.textfile) {
        // After every round of polls: every display has been asked once by then.
        m_textfileTimer = std::make_unique<QTimer>();
        QObject::connect(m_textfileTimer.get(), &QTimer::timeout, &m_session, [this] {
            if (const auto problem =
                    writeMetricsFile(*m_session.invocation().textfile, *m_registry))
                m_session.console().err(*problem);
        });
        m_textfileTimer->start(int(invocation.pollInterval.value_or(defaultPollSeconds) * 1000.0));
    }
    return true;
}

void ServeCommand::hold(const Target& target, int index, int count)
{
    auto held = makeHeld(target, true);
    DisplayController& controller = *held->controller;
    // Connected one after another across the poll interval: their polls stay spread.
    const double interval = controller.pump().polling().interval;
    const int delayMs = int(interval * 1000.0 * index / std::max(count, 1));
    QTimer::singleShot(delayMs, &controller, [&controller] { controller.connectLine(); });
    m_held.push_back(std::move(held));
}

std::unique_ptr<ServeCommand::Held> ServeCommand::makeHeld(const Target& target, bool shared)
{
    const Invocation& invocation = m_session.invocation();
    ControllerSettings stored = m_stored.settings;
    stored.serial = invocation.applyTo(stored.serial);
    stored.autoReconnect = true;
    stored.pollingEnabled = true;
    stored.pollingInterval = invocation.pollInterval.value_or(defaultPollSeconds);
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    options.scanner = m_noPorts;
    options.logCapacity = 100;

    auto held = std::make_unique<Held>();
    held->target = target;
    held->controller = std::make_unique<DisplayController>(stored, options);
    DisplayController& controller = *held->controller;
    // journald stamps every line itself.
    const bool journal = !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
    const bool verbose = invocation.verbose;
    const QString label = target.label();
    QObject::connect(
        &controller.log(), &TrafficLog::appended, &m_session,
        [this, &controller, journal, verbose, label](int count) {
            const LogBuffer& log = controller.log().entries();
            for (int i = std::max(0, log.size() - count); i < log.size(); ++i) {
                const LogEntry& entry = log.at(i);
                const bool traffic =
                    entry.kind == LogEntry::Kind::tx || entry.kind == LogEntry::Kind::rx;
                if (traffic && !verbose)
                    continue;
                m_session.console().log(label + QStringLiteral(": ") +
                                        (journal ? LogEntry::symbol(entry.kind) + u' ' + entry.text
                                                 : logLine(entry, false)));
            }
        });
    if (shared)
        held->server =
            std::make_unique<LineServer>(controller, QStringLiteral("bildwartctl serve"));
    if (m_families) {
        std::map<std::string, std::string> labels{{"target", target.address.toStdString()},
                                                  {"name", target.label().toStdString()}};
        if (!target.groups.isEmpty())
            labels.emplace("groups", target.groups.join(u',').toStdString());
        held->metrics = std::make_unique<DisplayMetrics>(*m_families, controller, labels);
    }
    if (m_mqtt && shared)
        m_mqtt->add(controller, target.label());
    controller.ports().select(target.address);
    return held;
}

// On an exposer thread: hands the address to the event loop and waits, bounded, until its
// display answered or its line failed. The event loop never waits for this thread.
void ServeCommand::fetchForProbe(const std::string& target)
{
    auto waiter = std::make_shared<ProbeWaiter>();
    std::future<void> settled = waiter->promise.get_future();
    const QString address = QString::fromStdString(target);
    m_probeHandOver->post([this, address, waiter] { holdForProbe(address, waiter); });
    settled.wait_for(probeWait);
}

void ServeCommand::holdForProbe(const QString& address, const std::shared_ptr<ProbeWaiter>& waiter)
{
    // Only addresses on the network: a probe must not open this machine's serial ports.
    const LineAddress line = LineAddress::fromText(address);
    if (m_stopping || !line.isNetwork() || line.text() != address) {
        waiter->fulfil();
        return;
    }
    auto found = m_probed.find(address);
    if (found == m_probed.end()) {
        if (m_probed.size() >= maxProbed) {
            // The one asked for longest ago makes room.
            const auto oldest = std::min_element(
                m_probed.begin(), m_probed.end(), [](const auto& a, const auto& b) {
                    return a.second->lastAsked < b.second->lastAsked;
                });
            oldest->second->fulfilAll();
            m_probed.erase(oldest);
        }
        auto probed = std::make_unique<Probed>();
        probed->held = makeHeld(Target{address, {}, {}, 0}, false);
        DisplayController& controller = *probed->held->controller;
        Probed* entry = probed.get();
        const auto check = [entry] {
            if (entry->settled())
                entry->fulfilAll();
        };
        QObject::connect(&controller.line(), &LineSession::connectionChanged, &controller, check);
        QObject::connect(&controller.pump(), &CommandPump::queueChanged, &controller, check);
        controller.connectLine();
        found = m_probed.emplace(address, std::move(probed)).first;
        m_session.console().log(tr("%1: für /probe gehalten").arg(address));
    }
    Probed& probed = *found->second;
    probed.lastAsked = QDateTime::currentMSecsSinceEpoch();
    probed.waiters.push_back(waiter);
    if (probed.settled())
        probed.fulfilAll();
    if (!m_probeExpiry) {
        m_probeExpiry = std::make_unique<QTimer>();
        QObject::connect(m_probeExpiry.get(), &QTimer::timeout, &m_session, [this] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            std::erase_if(m_probed, [now](const auto& entry) {
                return now - entry.second->lastAsked > probeKeepMs;
            });
        });
        m_probeExpiry->start(60'000);
    }
}

bool ServeCommand::Probed::settled() const
{
    const DisplayController& controller = *held->controller;
    const ConnectionState& connection = controller.line().connection();
    if (connection.is(ConnectionState::Case::failed) ||
        connection.is(ConnectionState::Case::waiting))
        return true;
    return connection.is(ConnectionState::Case::connected) &&
           controller.display().state().displayAnswered() && controller.pump().isIdle();
}

void ServeCommand::Probed::fulfilAll()
{
    for (const auto& waiter : waiters)
        waiter->fulfil();
    waiters.clear();
}

void ServeCommand::stop()
{
    m_stopping = true;
    // Nobody on an exposer thread waits for a display any longer.
    for (auto& [address, probed] : m_probed)
        probed->fulfilAll();
    // Home Assistant hears that the displays and the bridge are gone before the lines close.
    if (m_mqtt) {
        m_mqtt->stop();
        m_mqtt.reset();
    }
    // Sockets first, so that no guest comes while the lines close.
    for (auto& held : m_held) {
        held->server.reset();
        held->controller->disconnectLine();
    }
    m_held.clear();
    m_textfileTimer.reset();
    m_probeExpiry.reset();
    m_exposer.reset();
    m_probed.clear();
    m_probe.reset();
    m_session.finish(ExitCode::success); // replaced by the signal's code
}

#include "cli/commands/ServeCommand.h"

#include "cli/commands/Session.h"
#include "cli/invocation/UserSettings.h"
#include "cli/output/LogLine.h"
#include "controller/DisplayController.h"
#include "controller/PortList.h"
#include "controller/TrafficLog.h"
#include "discovery/PortScanner.h"
#include "session/LineServer.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// Gentle for fleets: a thousand displays asked every 30 s are about 33 queries a second.
constexpr double defaultPollSeconds = 30.0;

class NoPorts final : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return {}; }
    QList<UnboundAdapter> scanAdapters() override { return {}; }
};

QString tr(const char* text)
{
    return QCoreApplication::translate("ServeCommand", text);
}

} // namespace

struct ServeCommand::Held {
    Target target;
    std::unique_ptr<DisplayController> controller;
    std::unique_ptr<LineServer> server;

    ~Held()
    {
        server.reset(); // the socket goes before the line
        controller.reset();
    }
};

ServeCommand::ServeCommand(Session& session)
    : m_session(session)
{
    m_session.setTerminationHandler([this] { stop(); });
}

ServeCommand::~ServeCommand() = default;

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
    for (const Target& target : targets)
        hold(target);
}

void ServeCommand::hold(const Target& target)
{
    const Invocation& invocation = m_session.invocation();
    const ControllerSettings::Loaded loaded = readUserSettings();
    ControllerSettings stored = loaded.settings;
    stored.serial = invocation.applyTo(stored.serial);
    stored.autoReconnect = true;
    stored.pollingEnabled = true;
    stored.pollingInterval = invocation.pollInterval.value_or(defaultPollSeconds);
    ControllerOptions options;
    options.connectAtStartup = false;
    options.watchHotplug = false;
    options.scanner = std::make_shared<NoPorts>();
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
    held->server = std::make_unique<LineServer>(controller, QStringLiteral("bildwartctl serve"));
    controller.ports().select(target.address);
    controller.connectLine();
    m_held.push_back(std::move(held));
}

void ServeCommand::stop()
{
    // Sockets first, so that no guest comes while the lines close.
    for (auto& held : m_held) {
        held->server.reset();
        held->controller->disconnectLine();
    }
    m_held.clear();
    m_session.finish(ExitCode::success); // replaced by the signal's code
}

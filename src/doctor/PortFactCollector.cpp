// The facts come from udev (ids, driver, links, ID_MM_DEVICE_IGNORE), sysfs (latency_timer),
// stat() of the node, the user database, /proc (descriptors, locks, command names) and the
// udev rule folders.
#include "doctor/PortFactCollector.h"

#include "discovery/SerialPortInfo.h"
#include "discovery/StableName.h"
#include "discovery/Udev.h"
#include "discovery/UnboundAdapter.h"
#include "doctor/facts/BrlttyRules.h"
#include "doctor/facts/UsbfsHolder.h"
#include "line/PathBytes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <libudev.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QStringList linksOf(udev_device* tty)
{
    return Udev::property(tty, "DEVLINKS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

std::optional<int> hexAttribute(udev_device* device, const char* name)
{
    bool ok = false;
    const int value = Udev::sysattr(device, name).toInt(&ok, 16);
    return ok ? std::optional(value) : std::nullopt;
}

// The kernel driver behind the tty: ftdi_sio, ch341, cdc_acm …
QString driverOf(udev_device* tty)
{
    for (udev_device* device = udev_device_get_parent(tty); device;
         device = udev_device_get_parent(device)) {
        const QString driver = Udev::driver(device);
        if (!driver.isEmpty())
            return driver;
    }
    return {};
}

// FTDI's driver keeps latency_timer on the usb-serial port device between tty and USB
// interface.
std::optional<int> latencyTimerOf(udev_device* tty)
{
    for (udev_device* device = tty; device; device = udev_device_get_parent(device)) {
        const QString text = Udev::sysattr(device, "latency_timer");
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok)
            return value;
        if (qstrcmp(udev_device_get_devtype(device), "usb_device") == 0)
            break;
    }
    return std::nullopt;
}

std::optional<NodeAttributes> attributesOf(const QString& node, const UserDatabase& users)
{
    struct stat status {};
    if (::stat(encodePath(node).constData(), &status) != 0)
        return std::nullopt;
    return NodeAttributes{uint(status.st_uid), uint(status.st_gid),
                          users.groupName(uint(status.st_gid)), uint(status.st_mode & 07777)};
}

NodeKind kindOf(const QString& node, const ProcessTable& processes)
{
    struct stat status {};
    if (::stat(encodePath(node).constData(), &status) != 0)
        return NodeKind::unknown;
    if (S_ISDIR(status.st_mode))
        return NodeKind::folder;
    if (!S_ISCHR(status.st_mode))
        return NodeKind::file;
    return processes.isTerminalDevice(major(status.st_rdev), minor(status.st_rdev))
               ? NodeKind::terminal
               : NodeKind::otherDevice;
}

// The PID of the simulator (bildwartctl simulate --link PATH) whose link `path` is, among
// the holders; 0 if none is.
qint64 simulatorOwning(const QString& path, const QList<ProcessHolder>& holders,
                       const ProcessTable& processes)
{
    if (!QFileInfo(path).isSymLink())
        return 0;
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (const ProcessHolder& holder : holders) {
        if (holder.command != QLatin1String("bildwartctl"))
            continue;
        const QStringList arguments = processes.argumentsOf(holder.pid);
        if (!arguments.contains(QLatin1String("simulate")))
            continue;
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            QString link;
            if (arguments.at(i - 1) == QLatin1String("--link"))
                link = arguments.at(i);
            else if (arguments.at(i).startsWith(QLatin1String("--link=")))
                link = arguments.at(i).mid(7);
            if (link.isEmpty())
                continue;
            const QString resolved =
                QFileInfo(link).isAbsolute() ? link : processes.folderOf(holder.pid) + u'/' + link;
            if (QFileInfo(resolved).absoluteFilePath() == wanted)
                return holder.pid;
        }
    }
    return 0;
}

} // namespace

// What one collection looks up once, however many ports it covers.
struct PortFactCollector::Survey {
    Udev::Context context = Udev::newContext();
    std::vector<Udev::Device> ttys;
    UserCredentials user;
    std::optional<QSet<QString>> commands;

    // The tty whose node this is, or nullptr.
    udev_device* ttyOf(const QString& node) const
    {
        for (const Udev::Device& tty : ttys) {
            if (QString::fromUtf8(udev_device_get_devnode(tty.get())) == node)
                return tty.get();
        }
        return nullptr;
    }

    // The by-id links of every other tty.
    QSet<QString> byIdLinksBesides(udev_device* self) const
    {
        QSet<QString> links;
        for (const Udev::Device& tty : ttys) {
            if (tty.get() == self || !udev_device_get_parent(tty.get()))
                continue;
            for (const QString& link : linksOf(tty.get())) {
                if (StableName::isById(link))
                    links.insert(link);
            }
        }
        return links;
    }
};

PortFactCollector::PortFactCollector()
    : PortFactCollector(Sources())
{
}

PortFactCollector::PortFactCollector(Sources sources)
    : m_sources(std::move(sources))
{
    if (!m_sources.users)
        m_sources.users = std::make_shared<SystemUserDatabase>();
}

QList<PortFacts> PortFactCollector::collectAll(Depth depth) const
{
    Survey survey;
    survey.ttys = Udev::devices(survey.context.get(), "tty");
    survey.user = m_sources.users->currentUser();
    QList<PortFacts> all;
    for (const SerialPortInfo& port : SerialPortInfo::scan())
        all.append(collectPort(port.path, depth, survey));

    if (!survey.commands)
        survey.commands = ProcessTable(m_sources.procRoot).commandNames();
    for (const UnboundAdapter& adapter :
         UnboundAdapter::scan(UsbfsHolder(m_sources.procRoot, m_sources.devRoot))) {
        PortFacts facts;
        facts.port = adapter.title();
        facts.title = adapter.name;
        facts.vendorID = adapter.vendorID;
        facts.productID = adapter.productID;
        facts.user = survey.user;
        facts.unbound = true;
        facts.capturedBy = adapter.capturedBy;
        facts.brlttyRunning = survey.commands->contains(QStringLiteral("brltty"));
        facts.modemManagerRunning = survey.commands->contains(QStringLiteral("ModemManager"));
        facts.brlttyRule =
            BrlttyRules(m_sources.rulesRoot).ruleClaiming(adapter.vendorID, adapter.productID);
        facts.vanishedQuickly =
            m_sources.shortLived.contains(UsbId{adapter.vendorID, adapter.productID});
        all.append(facts);
    }
    return all;
}

PortFacts PortFactCollector::collect(const QString& path, Depth depth) const
{
    Survey survey;
    survey.ttys = Udev::devices(survey.context.get(), "tty");
    survey.user = m_sources.users->currentUser();
    return collectPort(path, depth, survey);
}

PortFacts PortFactCollector::collectPort(const QString& path, Depth depth, Survey& survey) const
{
    const ProcessTable processes(m_sources.procRoot);
    if (!survey.commands)
        survey.commands = processes.commandNames();

    PortFacts facts;
    facts.port = path;
    // The first place on the way that is a tty udev knows; else where the way ends.
    const QStringList hops = StableName::hops(path);
    udev_device* tty = nullptr;
    for (const QString& hop : hops) {
        if ((tty = survey.ttyOf(hop))) {
            facts.node = hop;
            break;
        }
    }
    if (!tty)
        facts.node = hops.last();
    facts.title = QFileInfo(facts.node).fileName();
    facts.user = survey.user;
    facts.nodeAttributes = attributesOf(facts.node, *m_sources.users);
    facts.nodeKind = kindOf(facts.node, processes);
    // Who has /dev/null open says nothing about a serial line.
    if (facts.nodeKind == NodeKind::terminal) {
        facts.holders = depth == Depth::full ? processes.openersOf(facts.node)
                                             : processes.lockHoldersOf(facts.node);
    }
    // This program's own line to the port is not what keeps it from working.
    facts.holders.removeIf(
        [](const ProcessHolder& holder) { return holder.pid == qint64(::getpid()); });
    facts.simulatorPid = simulatorOwning(path, facts.holders, processes);
    if (facts.simulatorPid != 0) {
        facts.title = QCoreApplication::translate("PortFactCollector",
                                                  "Display-Simulator von bildwartctl, PID %1")
                          .arg(facts.simulatorPid);
        facts.holders.removeIf(
            [&](const ProcessHolder& holder) { return holder.pid == facts.simulatorPid; });
    }
    facts.brlttyRunning = survey.commands->contains(QStringLiteral("brltty"));
    facts.modemManagerRunning = survey.commands->contains(QStringLiteral("ModemManager"));

    if (!tty) {
        if (!facts.nodeAttributes)
            noteVanishedAdapter(facts);
        return facts;
    }
    facts.driver = driverOf(tty);
    facts.latencyTimerMs = latencyTimerOf(tty);
    facts.modemManagerIgnores = Udev::property(tty, "ID_MM_DEVICE_IGNORE") == QLatin1String("1");
    const StableName name =
        StableName::choose(facts.node, linksOf(tty), survey.byIdLinksBesides(tty));
    facts.sharedById = name.sharedById;
    facts.listedAs = name.path;
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
        facts.vendorID = hexAttribute(usb, "idVendor").value_or(0);
        facts.productID = hexAttribute(usb, "idProduct").value_or(0);
        const QString product = Udev::sysattr(usb, "product");
        if (!product.isEmpty())
            facts.title = product;
        facts.brlttyRule =
            BrlttyRules(m_sources.rulesRoot).ruleClaiming(facts.vendorID, facts.productID);
        facts.vanishedQuickly =
            m_sources.shortLived.contains(UsbId{facts.vendorID, facts.productID});
    }
    return facts;
}

void PortFactCollector::noteVanishedAdapter(PortFacts& facts) const
{
    // The port is gone. When an adapter's tty just came and went, that is the likeliest
    // reason: the chosen port was (or became) that adapter's, and something took it.
    if (m_sources.shortLived.isEmpty())
        return;
    const UsbId adapter = m_sources.shortLived.last();
    facts.vendorID = adapter.vendorID;
    facts.productID = adapter.productID;
    facts.vanishedQuickly = true;
    facts.brlttyRule =
        BrlttyRules(m_sources.rulesRoot).ruleClaiming(adapter.vendorID, adapter.productID);
}

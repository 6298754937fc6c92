#include "doctor/PortDiagnosis.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

using Severity = Finding::Severity;

const QString brlttyCommand = QStringLiteral("brltty");
const QString modemManagerCommand = QStringLiteral("ModemManager");

QString quoted(const QString& text)
{
    return u'„' + text + u'“';
}

QString groupOf(const NodeAttributes& node)
{
    return node.groupName.isEmpty() ? QString::number(node.groupId) : node.groupName;
}

QString hex4(int id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

// The udev match for this adapter, or for the node when it is not on USB.
QString udevMatch(const PortFacts& facts)
{
    if (facts.vendorID == 0)
        return QStringLiteral("KERNEL==\"%1\"").arg(QFileInfo(facts.node).fileName());
    return QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"")
        .arg(hex4(facts.vendorID), hex4(facts.productID));
}

// A udev rule written with sudo tee, and what makes udev use it at once.
QStringList installRule(const QString& rule, const QString& file)
{
    return {QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/%2").arg(rule, file),
            QStringLiteral("sudo udevadm control --reload-rules && sudo udevadm trigger")};
}

bool holdsNamed(const QList<ProcessHolder>& holders, const QString& command)
{
    return std::any_of(holders.begin(), holders.end(),
                       [&](const ProcessHolder& holder) { return holder.command == command; });
}

QString describeHolder(const ProcessHolder& holder)
{
    const QString name = holder.command.isEmpty()
                             ? QCoreApplication::translate("PortDiagnosis", "Ein Programm")
                             : holder.command;
    return QStringLiteral("%1 (PID %2)").arg(name).arg(holder.pid);
}

QString joinedGerman(const QStringList& items)
{
    if (items.size() < 2)
        return items.value(0);
    return QCoreApplication::translate("PortDiagnosis", "%1 und %2")
        .arg(items.mid(0, items.size() - 1).join(QStringLiteral(", ")), items.last());
}

std::optional<Finding> permissionFinding(const PortFacts& facts)
{
    if (!facts.nodeAttributes)
        return std::nullopt;
    const NodeAttributes& node = *facts.nodeAttributes;
    const UserCredentials& user = facts.user;
    const QString group = quoted(groupOf(node));
    if (PortDiagnosis::mayReadWrite(node, user.userId, user.sessionGroups)) {
        if (facts.openError != EACCES && facts.openError != EPERM)
            return std::nullopt;
        // Owner, group and mode allow it; something beyond them does not.
        return Finding{
            QStringLiteral("permission"),
            Severity::error,
            QCoreApplication::translate("PortDiagnosis",
                                        "Keine Berechtigung, obwohl Gruppe und Rechte von %1 "
                                        "passen.")
                .arg(facts.node),
            QCoreApplication::translate("PortDiagnosis", "Der Zugriff wird von außen verwehrt."),
            QCoreApplication::translate("PortDiagnosis",
                                        "Läuft Bildwart in einer Sandbox (Snap, Flatpak), "
                                        "dort den Zugriff auf serielle Schnittstellen erlauben; "
                                        "sonst verwehrt ihn eine Sicherheitsrichtlinie "
                                        "(AppArmor, SELinux)."),
            {}};
    }
    if (PortDiagnosis::mayReadWrite(node, user.userId, user.databaseGroups)) {
        return Finding{
            QStringLiteral("not-in-group-session"),
            Severity::error,
            QCoreApplication::translate("PortDiagnosis",
                                        "Keine Berechtigung – Sie sind in der Gruppe %1, "
                                        "aber diese Anmeldung kennt die Gruppe noch nicht.")
                .arg(group),
            QCoreApplication::translate("PortDiagnosis",
                                        "Sie sind in der Gruppe %1, aber erst ab der nächsten "
                                        "Anmeldung.")
                .arg(group),
            QCoreApplication::translate("PortDiagnosis",
                                        "Ab- und wieder anmelden (oder den Rechner neu starten). "
                                        "Für ein einzelnes Terminal genügt „newgrp %1“; "
                                        "was dort gestartet wird, hat die Gruppe.")
                .arg(groupOf(node)),
            {QStringLiteral("newgrp %1").arg(groupOf(node))}};
    }
    const bool groupMayUse = (node.mode & 060) == 060;
    // Nobody should join root's group to reach a port.
    if (groupMayUse && node.groupId != 0) {
        return Finding{
            QStringLiteral("permission"),
            Severity::error,
            QCoreApplication::translate("PortDiagnosis",
                                        "Keine Berechtigung – Sie sind nicht in der Gruppe "
                                        "%1, der %2 gehört.")
                .arg(group, facts.node),
            QCoreApplication::translate("PortDiagnosis", "Sie sind nicht in der Gruppe %1.")
                .arg(group),
            QCoreApplication::translate("PortDiagnosis",
                                        "Sich in die Gruppe aufnehmen und danach ab- und wieder "
                                        "anmelden; erst die neue Anmeldung hat die Gruppe."),
            {QStringLiteral("sudo usermod -aG %1 $USER").arg(groupOf(node))}};
    }
    // No group a user should join may use the node: a rule has to give it one.
    const QString mode = QStringLiteral("%1").arg(node.mode, 4, 8, QLatin1Char('0'));
    return Finding{
        QStringLiteral("permission"),
        Severity::error,
        groupMayUse ? QCoreApplication::translate("PortDiagnosis",
                                                  "Keine Berechtigung – %1 ist nur für root und "
                                                  "die Gruppe %2 freigegeben (Rechte %3).")
                          .arg(facts.node, group, mode)
                    : QCoreApplication::translate("PortDiagnosis",
                                                  "Keine Berechtigung – %1 ist nur für seinen "
                                                  "Besitzer freigegeben (Rechte %2).")
                          .arg(facts.node, mode),
        QCoreApplication::translate("PortDiagnosis",
                                    "Der Port ist für keine Gruppe freigegeben, der Sie angehören "
                                    "sollten."),
        QCoreApplication::translate(
            "PortDiagnosis", "Eine udev-Regel gibt dem Port die Gruppe „dialout“ mit Lese- und "
                             "Schreibrecht; dann sich in die Gruppe aufnehmen, den Wandler neu "
                             "anstecken und neu anmelden."),
        installRule(QStringLiteral("SUBSYSTEM==\"tty\", %1, GROUP=\"dialout\", MODE=\"0660\"")
                        .arg(udevMatch(facts)),
                    QStringLiteral("70-bildwart-serial.rules")) +
            QStringList{QStringLiteral("sudo usermod -aG dialout $USER")}};
}

std::optional<Finding> holderFinding(const PortFacts& facts)
{
    QStringList others;
    for (const ProcessHolder& holder : facts.holders) {
        // These two have findings of their own, with their own fix.
        if (holder.command != brlttyCommand && holder.command != modemManagerCommand)
            others.append(describeHolder(holder));
    }
    if (!others.isEmpty()) {
        const bool one = others.size() == 1;
        const QString text =
            (one ? QCoreApplication::translate("PortDiagnosis", "%1 hat den Port geöffnet.")
                 : QCoreApplication::translate("PortDiagnosis", "%1 haben den Port geöffnet."))
                .arg(joinedGerman(others));
        const QString fix =
            one ? QCoreApplication::translate("PortDiagnosis",
                                              "Das Programm beenden oder dort die Verbindung "
                                              "schließen, dann erneut verbinden.")
                : QCoreApplication::translate("PortDiagnosis",
                                              "Die Programme beenden oder dort die Verbindung "
                                              "schließen, dann erneut verbinden.");
        return Finding{QStringLiteral("held-by-process"), Severity::error, text, text, fix, {}};
    }
    if (facts.openError != EBUSY || !facts.holders.isEmpty())
        return std::nullopt;
    return Finding{
        QStringLiteral("held-by-process"),
        Severity::error,
        QCoreApplication::translate("PortDiagnosis",
                                    "Ein anderes Programm hat den Port für sich allein "
                                    "geöffnet; welches, ist ohne Administratorrechte nicht "
                                    "zu sehen."),
        QCoreApplication::translate("PortDiagnosis", "ein anderes Programm hat ihn für sich allein "
                                                     "geöffnet."),
        QCoreApplication::translate("PortDiagnosis",
                                    "Der Befehl unten nennt es; dann das Programm beenden."),
        {QStringLiteral("sudo fuser -v %1").arg(facts.node)}};
}

std::optional<Finding> brlttyFinding(const PortFacts& facts)
{
    const bool present = facts.brlttyRunning || !facts.brlttyRule.isEmpty();
    const bool heldByBrltty =
        facts.capturedBy == brlttyCommand || holdsNamed(facts.holders, brlttyCommand);
    // An adapter without a port whose ids brltty's rule names: brltty has it.
    const bool claimedByRule = facts.unbound && !facts.brlttyRule.isEmpty();
    if (!present || !(facts.vanishedQuickly || heldByBrltty || claimedByRule))
        return std::nullopt;
    QStringList commands{QStringLiteral("sudo apt remove brltty")};
    QString fix = QCoreApplication::translate("PortDiagnosis",
                                              "Wer keine Braillezeile nutzt, entfernt brltty. "
                                              "Danach den Wandler ab- und wieder anstecken.");
    if (!facts.brlttyRule.isEmpty()) {
        const QString file = QFileInfo(facts.brlttyRule).fileName();
        fix = QCoreApplication::translate("PortDiagnosis",
                                          "Wer keine Braillezeile nutzt, entfernt brltty; sonst "
                                          "seine udev-Regel %1 abschalten (zweiter und dritter "
                                          "Befehl). Danach den Wandler ab- und wieder anstecken.")
                  .arg(quoted(file));
        commands += {QStringLiteral("sudo ln -s /dev/null /etc/udev/rules.d/%1").arg(file),
                     QStringLiteral("sudo udevadm control --reload-rules")};
    }
    return Finding{QStringLiteral("brltty"),
                   Severity::error,
                   QCoreApplication::translate("PortDiagnosis",
                                               "brltty, der Dienst für Braillezeilen, hält diesen "
                                               "Wandler für eine Braillezeile und übernimmt ihn: "
                                               "der Port verschwindet kurz nach dem Anstecken."),
                   QCoreApplication::translate("PortDiagnosis",
                                               "brltty (Dienst für Braillezeilen) hat den Wandler "
                                               "übernommen."),
                   fix,
                   commands};
}

std::optional<Finding> modemManagerFinding(const PortFacts& facts)
{
    const bool heldByIt = holdsNamed(facts.holders, modemManagerCommand);
    const bool isAcm = facts.driver == QLatin1String("cdc_acm") ||
                       QFileInfo(facts.node).fileName().startsWith(QLatin1String("ttyACM"));
    const bool probed = PortDiagnosis::looksLikeModemProbe(facts.receivedAfterConnect);
    if (!heldByIt && (facts.modemManagerIgnores || !facts.modemManagerRunning))
        return std::nullopt;
    if (!heldByIt && !isAcm && !probed)
        return std::nullopt;
    const QString text =
        probed ? QCoreApplication::translate("PortDiagnosis",
                                             "ModemManager prüft den Port: neuen ttyACM-Ports "
                                             "schickt er einige Sekunden lang AT-Befehle und hält "
                                             "sie so lange belegt. Solche Befehle kamen eben nach "
                                             "dem Verbinden zurück.")
               : QCoreApplication::translate("PortDiagnosis",
                                             "ModemManager prüft den Port: neuen ttyACM-Ports "
                                             "schickt er einige Sekunden lang AT-Befehle und hält "
                                             "sie so lange belegt.");
    return Finding{
        QStringLiteral("modemmanager"),
        Severity::warning,
        text,
        QCoreApplication::translate("PortDiagnosis", "ModemManager prüft den Port gerade."),
        QCoreApplication::translate(
            "PortDiagnosis", "Eine udev-Regel sagt ModemManager, diesen Wandler in Ruhe zu lassen "
                             "(erste zwei Befehle). Wer kein Modem braucht, kann den Dienst auch "
                             "abschalten (letzter Befehl)."),
        installRule(QStringLiteral("%1, ENV{ID_MM_DEVICE_IGNORE}=\"1\"").arg(udevMatch(facts)),
                    QStringLiteral("70-bildwart-modemmanager.rules")) +
            QStringList{QStringLiteral("sudo systemctl disable --now ModemManager")}};
}

std::optional<Finding> latencyFinding(const PortFacts& facts)
{
    if (!facts.latencyTimerMs || *facts.latencyTimerMs <= 1)
        return std::nullopt;
    const int ms = *facts.latencyTimerMs;
    return Finding{
        QStringLiteral("latency-timer"),
        Severity::hint,
        QCoreApplication::translate(
            "PortDiagnosis", "Der Wandler sammelt empfangene Bytes bis zu %1 ms, bevor er sie "
                             "weitergibt (latency_timer); jede Antwort kommt bis zu %1 ms "
                             "später an.")
            .arg(ms),
        QCoreApplication::translate("PortDiagnosis",
                                    "Der Wandler hält empfangene Bytes bis zu %1 ms zurück.")
            .arg(ms),
        QCoreApplication::translate(
            "PortDiagnosis", "Eine udev-Regel setzt den Wert beim Anstecken auf 1 ms (erste zwei "
                             "Befehle); der letzte setzt ihn sofort, bis zum Abziehen."),
        installRule(QStringLiteral("ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                                   "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\""),
                    QStringLiteral("70-bildwart-ftdi-latency.rules")) +
            QStringList{QStringLiteral("echo 1 | sudo tee /sys/bus/usb-serial/devices/%1/"
                                       "latency_timer")
                            .arg(QFileInfo(facts.node).fileName())}};
}

std::optional<Finding> byIdFinding(const PortFacts& facts)
{
    if (facts.sharedById.isEmpty())
        return std::nullopt;
    return Finding{
        QStringLiteral("by-id-collision"),
        Severity::warning,
        QCoreApplication::translate(
            "PortDiagnosis", "Ein zweiter Wandler meldet sich mit derselben Kennung (%1): ohne "
                             "eigene Seriennummer sind beide nicht zu unterscheiden. Bildwart "
                             "führt diesen Port deshalb unter %2.")
            .arg(QFileInfo(facts.sharedById).fileName(),
                 facts.listedAs.isEmpty() ? facts.node : facts.listedAs),
        QCoreApplication::translate("PortDiagnosis", "Zwei Wandler haben dieselbe Kennung."),
        QCoreApplication::translate(
            "PortDiagnosis",
            "Jeden Wandler immer in dieselbe USB-Buchse stecken: der Port ist nach "
            "der Buchse benannt. Dauerhaft hilft ein Wandler mit eigener "
            "Seriennummer."),
        {}};
}

// The kernel module for the chips of a known vendor.
QString moduleFor(int vendorID)
{
    switch (vendorID) {
    case 0x0403:
        return QStringLiteral("ftdi_sio");
    case 0x067B:
        return QStringLiteral("pl2303");
    case 0x10C4:
        return QStringLiteral("cp210x");
    case 0x1A86:
        return QStringLiteral("ch341");
    default:
        return {};
    }
}

std::optional<Finding> unboundFinding(const PortFacts& facts, bool brlttyFound)
{
    if (!facts.unbound)
        return std::nullopt;
    if (!facts.capturedBy) {
        const QString module = moduleFor(facts.vendorID);
        return Finding{
            QStringLiteral("no-driver"),
            Severity::error,
            QCoreApplication::translate(
                "PortDiagnosis", "Kein Treiber hat den Wandler übernommen: er steckt, bietet "
                                 "aber keinen Port."),
            QCoreApplication::translate("PortDiagnosis",
                                        "Kein Treiber hat den Wandler übernommen."),
            QCoreApplication::translate(
                "PortDiagnosis", "Ab- und wieder anstecken. Hilft das nicht, den Treiber laden; "
                                 "Debian bringt die Treiber der gängigen Chips mit."),
            module.isEmpty() ? QStringList()
                             : QStringList{QStringLiteral("sudo modprobe ") + module}};
    }
    if (brlttyFound)
        return std::nullopt; // the brltty finding names the holder and its fix
    const bool unknownProgram = *facts.capturedBy == QLatin1String("usbfs");
    const QString text =
        unknownProgram
            ? QCoreApplication::translate(
                  "PortDiagnosis", "Ein Programm hat den Wandler direkt über USB (usbfs) "
                                   "übernommen, am seriellen Treiber vorbei; welches, ist ohne "
                                   "Administratorrechte nicht zu sehen.")
            : QCoreApplication::translate("PortDiagnosis",
                                          "%1 hat den Wandler direkt über USB übernommen, am "
                                          "seriellen Treiber vorbei.")
                  .arg(quoted(*facts.capturedBy));
    return Finding{
        QStringLiteral("held-through-usbfs"),
        Severity::error,
        text,
        QCoreApplication::translate("PortDiagnosis",
                                    "Ein Programm hat den Wandler direkt übernommen."),
        QCoreApplication::translate("PortDiagnosis",
                                    "Das Programm beenden oder den Wandler dort freigeben (eine "
                                    "virtuelle Maschine: das USB-Gerät vom Gast trennen), "
                                    "dann den Wandler ab- und wieder anstecken."),
        unknownProgram ? QStringList{QStringLiteral("sudo fuser -v /dev/bus/usb/*/*")}
                       : QStringList()};
}

int rank(Severity severity)
{
    return int(severity);
}

} // namespace

namespace PortDiagnosis {

bool looksLikeModemProbe(const QByteArray& received)
{
    // A command of its own at the start of a line: a display's "FORMAT" is none.
    static const QRegularExpression probe(QStringLiteral("(?:^|[\\r\\n>])AT[A-Z0-9+&]*\\r"));
    return probe.match(QString::fromLatin1(received)).hasMatch();
}

bool mayReadWrite(const NodeAttributes& node, uint userId, const QList<uint>& groups)
{
    if (userId == 0)
        return true;
    // The kernel looks at the first class that applies: owner, else group, else others.
    if (node.ownerId == userId)
        return (node.mode & 0600) == 0600;
    if (groups.contains(node.groupId))
        return (node.mode & 060) == 060;
    return (node.mode & 06) == 06;
}

// A path that leads to no terminal: nothing else about it matters.
std::optional<Finding> notTerminalFinding(const PortFacts& facts)
{
    QString what;
    switch (facts.nodeKind) {
    case NodeKind::unknown:
    case NodeKind::terminal:
        return std::nullopt;
    case NodeKind::otherDevice:
        what = QCoreApplication::translate("PortDiagnosis", "ein Gerät, aber kein Terminal");
        break;
    case NodeKind::file:
        what = QCoreApplication::translate("PortDiagnosis", "eine gewöhnliche Datei");
        break;
    case NodeKind::folder:
        what = QCoreApplication::translate("PortDiagnosis", "ein Ordner");
        break;
    }
    const QString text =
        QCoreApplication::translate("PortDiagnosis", "%1 ist keine serielle Schnittstelle, "
                                                     "sondern %2.")
            .arg(facts.port, what);
    return Finding{QStringLiteral("not-a-terminal"),
                   Severity::error,
                   text,
                   QCoreApplication::translate("PortDiagnosis", "keine serielle Schnittstelle"),
                   QCoreApplication::translate("PortDiagnosis",
                                               "Den Pfad des Wandlers angeben, z. B. "
                                               "/dev/ttyUSB0 oder /dev/serial/by-id/…; "
                                               "„bildwartctl ports“ zeigt alle."),
                   {}};
}

QList<Finding> findings(const PortFacts& facts)
{
    if (auto finding = notTerminalFinding(facts))
        return {*finding};
    QList<Finding> found;
    const auto add = [&](std::optional<Finding> finding) {
        if (finding)
            found.append(std::move(*finding));
    };
    const std::optional<Finding> brltty = brlttyFinding(facts);
    add(unboundFinding(facts, brltty.has_value()));
    add(brltty);
    add(permissionFinding(facts));
    add(holderFinding(facts));
    add(modemManagerFinding(facts));
    add(byIdFinding(facts));
    add(latencyFinding(facts));
    std::stable_sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
        return rank(a.severity) < rank(b.severity);
    });
    return found;
}

QString openFailureNote(const PortFacts& facts, int errnum)
{
    PortFacts failed = facts;
    failed.openError = errnum;
    const QList<Finding> all = findings(failed);
    const QStringList relevant =
        errnum == EACCES || errnum == EPERM
            ? QStringList{QStringLiteral("not-in-group-session"), QStringLiteral("permission")}
            : QStringList{QStringLiteral("brltty"), QStringLiteral("held-by-process"),
                          QStringLiteral("modemmanager")};
    for (const QString& id : relevant) {
        const auto finding =
            std::find_if(all.begin(), all.end(), [&](const Finding& f) { return f.id == id; });
        if (finding != all.end())
            return finding->summary;
    }
    return {};
}

} // namespace PortDiagnosis

// The doctor's decisions, row by row: facts in, findings out. No system is asked.
#include "diagnostics/PortDiagnosis.h"

#include <QTest>
#include <cerrno>
#include <functional>

using Change = std::function<void(PortFacts&)>;
Q_DECLARE_METATYPE(Change)

namespace {

constexpr uint dialout = 20;
constexpr uint erika = 1000;

// An FTDI adapter in the group dialout that the user may open.
PortFacts workingAdapter()
{
    PortFacts facts;
    facts.port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
    facts.title = "FT232R USB UART";
    facts.node = "/dev/ttyUSB0";
    facts.driver = "ftdi_sio";
    facts.vendorID = 0x0403;
    facts.productID = 0x6001;
    facts.nodeAttributes = NodeAttributes{0, dialout, "dialout", 0660};
    facts.user = {erika, "erika", {erika, dialout}, {erika, dialout}};
    facts.latencyTimerMs = 1;
    return facts;
}

void notInDialout(PortFacts& f)
{
    f.user.sessionGroups = {erika};
    f.user.databaseGroups = {erika};
}

void unboundCh340(PortFacts& f)
{
    f = PortFacts();
    f.port = "USB Serial (WCH CH34x)";
    f.vendorID = 0x1A86;
    f.productID = 0x7523;
    f.unbound = true;
}

PortFacts changed(const Change& change)
{
    PortFacts facts = workingAdapter();
    if (change)
        change(facts);
    return facts;
}

const Finding* findingWith(const QList<Finding>& findings, const QString& id)
{
    for (const Finding& finding : findings) {
        if (finding.id == id)
            return &finding;
    }
    return nullptr;
}

} // namespace

class TestPortDiagnosis : public QObject {
    Q_OBJECT

private slots:
    void findings_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("ids");
        const auto row = [](const char* tag, const Change& change, const QStringList& ids) {
            QTest::newRow(tag) << change << ids;
        };
        row("working", {}, {});
        row("not in the group", notInDialout, {"permission"});
        row("in the group since this session", [](PortFacts& f) { f.user.sessionGroups = {erika}; },
            {"not-in-group-session"});
        row("only the owner may", [](PortFacts& f) { f.nodeAttributes->mode = 0600; },
            {"permission"});
        row("root may anything",
            [](PortFacts& f) {
                f.nodeAttributes->mode = 0600;
                f.user = {0, "root", {0}, {0}};
            },
            {});
        row("the owner's bits count for the owner",
            [](PortFacts& f) {
                f.nodeAttributes->ownerId = erika;
                f.nodeAttributes->mode = 0060;
            },
            {"permission"});
        row("others may", [](PortFacts& f) { notInDialout(f), f.nodeAttributes->mode = 0666; }, {});
        row("mode allows, open refused", [](PortFacts& f) { f.openError = EACCES; },
            {"permission"});
        row("held by picocom",
            [](PortFacts& f) {
                f.holders = {{4711, "picocom"}};
            },
            {"held-by-process"});
        row("busy, holder hidden", [](PortFacts& f) { f.openError = EBUSY; }, {"held-by-process"});
        row("held by brltty",
            [](PortFacts& f) {
                f.holders = {{812, "brltty"}};
                f.brlttyRunning = true;
            },
            {"brltty"});
        row("brltty running, tty vanished at once",
            [](PortFacts& f) { f.brlttyRunning = f.vanishedQuickly = true; }, {"brltty"});
        row("tty vanished at once, no brltty", [](PortFacts& f) { f.vanishedQuickly = true; }, {});
        row("brltty's rule names a working adapter",
            [](PortFacts& f) { f.brlttyRule = "/usr/lib/udev/rules.d/90-brltty-device.rules"; },
            {});
        row("ModemManager and a ttyACM",
            [](PortFacts& f) {
                f.node = "/dev/ttyACM0", f.driver = "cdc_acm";
                f.modemManagerRunning = true;
            },
            {"modemmanager"});
        row("ModemManager told to leave it",
            [](PortFacts& f) {
                f.node = "/dev/ttyACM0", f.driver = "cdc_acm";
                f.modemManagerRunning = f.modemManagerIgnores = true;
            },
            {});
        row("ModemManager and an FTDI", [](PortFacts& f) { f.modemManagerRunning = true; }, {});
        row("ModemManager's AT came back",
            [](PortFacts& f) {
                f.modemManagerRunning = true;
                f.receivedAfterConnect = "\r\n>ATE0\rAT+GCAP\r";
            },
            {"modemmanager"});
        row("a display's answer is no probe",
            [](PortFacts& f) {
                f.modemManagerRunning = true;
                f.receivedAfterConnect = "\r\nSTATUS=ON\r\n>";
            },
            {});
        row("ModemManager holds it",
            [](PortFacts& f) {
                f.holders = {{640, "ModemManager"}};
            },
            {"modemmanager"});
        row("latency 16 ms", [](PortFacts& f) { f.latencyTimerMs = 16; }, {"latency-timer"});
        row("by-id shared",
            [](PortFacts& f) { f.sharedById = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"; },
            {"by-id-collision"});
        row("no driver", unboundCh340, {"no-driver"});
        row("held through usbfs",
            [](PortFacts& f) { unboundCh340(f), f.capturedBy = "VirtualBoxVM"; },
            {"held-through-usbfs"});
        row("brltty's rule names an adapter without port",
            [](PortFacts& f) {
                unboundCh340(f);
                f.capturedBy = "usbfs";
                f.brlttyRule = "/usr/lib/udev/rules.d/90-brltty-device.rules";
            },
            {"brltty"});
        row("most severe first",
            [](PortFacts& f) {
                f.latencyTimerMs = 16;
                f.sharedById = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
                notInDialout(f);
            },
            {"permission", "by-id-collision", "latency-timer"});
    }
    void findings()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, ids);
        QStringList found;
        for (const Finding& finding : PortDiagnosis::findings(changed(change)))
            found.append(finding.id);
        QCOMPARE(found, ids);
    }

    // What the user reads: the node's actual group, the holders with their ids, the
    // commands for exactly this adapter.
    void texts_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command"); // one of the commands, or none
        const auto row = [](const char* tag, const Change& change, const char* id,
                            const QString& text, const QString& command) {
            QTest::newRow(tag) << change << id << text << command;
        };
        row(
            "the node's own group",
            [](PortFacts& f) { notInDialout(f), f.nodeAttributes->groupName = "uucp"; },
            "permission",
            "Keine Berechtigung – Sie sind nicht in der Gruppe „uucp“, der /dev/ttyUSB0 gehört.",
            "sudo usermod -aG uucp $USER");
        row(
            "group without a name",
            [](PortFacts& f) { f.nodeAttributes->groupName.clear(), f.user.sessionGroups = {}; },
            "not-in-group-session",
            "Keine Berechtigung – Sie sind in der Gruppe „20“, aber diese Anmeldung kennt die "
            "Gruppe noch nicht.",
            "newgrp 20");
        row(
            "owner only: a rule for this adapter",
            [](PortFacts& f) { f.nodeAttributes->mode = 0600; }, "permission",
            "Keine Berechtigung – /dev/ttyUSB0 ist nur für seinen Besitzer freigegeben (Rechte "
            "0600).",
            "echo 'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
            "GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "
            "/etc/udev/rules.d/70-bildwart-serial.rules");
        row(
            "root's group is none to join",
            [](PortFacts& f) {
                notInDialout(f);
                f.nodeAttributes->groupId = 0, f.nodeAttributes->groupName = "root";
            },
            "permission",
            "Keine Berechtigung – /dev/ttyUSB0 ist nur für root und die Gruppe „root“ "
            "freigegeben (Rechte 0660).",
            "sudo usermod -aG dialout $USER");
        row("two holders, brltty apart",
            [](PortFacts& f) {
                f.holders = {{4711, "picocom"}, {812, "brltty"}, {4712, "minicom"}};
            },
            "held-by-process", "picocom (PID 4711) und minicom (PID 4712) haben den Port geöffnet.",
            {});
        row(
            "busy, holder hidden", [](PortFacts& f) { f.openError = EBUSY; }, "held-by-process",
            "Ein anderes Programm hat den Port für sich allein geöffnet; welches, ist ohne "
            "Administratorrechte nicht zu sehen.",
            "sudo fuser -v /dev/ttyUSB0");
        row(
            "brltty's rule switched off by name",
            [](PortFacts& f) {
                f.vanishedQuickly = true;
                f.brlttyRule = "/usr/lib/udev/rules.d/90-brltty-device.rules";
            },
            "brltty",
            "brltty, der Dienst für Braillezeilen, hält diesen Wandler für eine Braillezeile und "
            "übernimmt ihn: der Port verschwindet kurz nach dem Anstecken.",
            "sudo ln -s /dev/null /etc/udev/rules.d/90-brltty-device.rules");
        row(
            "latency of this tty", [](PortFacts& f) { f.latencyTimerMs = 16; }, "latency-timer",
            "Der Wandler sammelt empfangene Bytes bis zu 16 ms, bevor er sie weitergibt "
            "(latency_timer); jede Antwort kommt bis zu 16 ms später an.",
            "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer");
        row("where the shared adapter is listed",
            [](PortFacts& f) {
                f.port = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
                f.sharedById = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
            },
            "by-id-collision",
            "Ein zweiter Wandler meldet sich mit derselben Kennung (usb-FTDI_FT232R-if00-port0): "
            "ohne eigene Seriennummer sind beide nicht zu unterscheiden. Bildwart führt diesen "
            "Port deshalb unter /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0.",
            {});
        row("the driver to load", unboundCh340, "no-driver",
            "Kein Treiber hat den Wandler übernommen: er steckt, bietet aber keinen Port.",
            "sudo modprobe ch341");
    }
    void texts()
    {
        QFETCH(Change, change);
        QFETCH(QString, id);
        QFETCH(QString, text);
        QFETCH(QString, command);
        const QList<Finding> findings = PortDiagnosis::findings(changed(change));
        const Finding* finding = findingWith(findings, id);
        QVERIFY(finding);
        QCOMPARE(finding->text, text);
        QVERIFY(!finding->fix.isEmpty());
        if (!command.isEmpty())
            QVERIFY2(finding->commands.contains(command), qPrintable(finding->commands.join('\n')));
    }

    // What a failed open's message ends with: the cause that fits the error.
    void openFailureNote_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("errnum");
        QTest::addColumn<QString>("note");
        QTest::newRow("not in the group")
            << Change(notInDialout) << EACCES << "Sie sind nicht in der Gruppe „dialout“.";
        QTest::newRow("in it from the next login")
            << Change([](PortFacts& f) { f.user.sessionGroups = {erika}; }) << EACCES
            << "Sie sind in der Gruppe „dialout“, aber erst ab der nächsten Anmeldung.";
        QTest::newRow("refused despite the mode")
            << Change() << EPERM << "Der Zugriff wird von außen verwehrt.";
        QTest::newRow("busy: who has it") << Change([](PortFacts& f) {
            f.holders = {{4711, "picocom"}};
        }) << EBUSY << "picocom (PID 4711) hat den Port geöffnet.";
        QTest::newRow("busy: brltty") << Change([](PortFacts& f) {
            f.holders = {{812, "brltty"}};
            f.brlttyRunning = true;
        }) << EBUSY << "brltty (Dienst für Braillezeilen) hat den Wandler übernommen.";
        QTest::newRow("refused: the holder is beside the point") << Change([](PortFacts& f) {
            notInDialout(f), f.holders = {{4711, "picocom"}};
        }) << EACCES << "Sie sind nicht in der Gruppe „dialout“.";
        QTest::newRow("gone: nothing known") << Change() << ENOENT << QString();
        QTest::newRow("another error: the holder still explains it") << Change([](PortFacts& f) {
            f.latencyTimerMs = 16, f.holders = {{1, "x"}};
        }) << EIO << "x (PID 1) hat den Port geöffnet.";
    }
    void openFailureNote()
    {
        QFETCH(Change, change);
        QFETCH(int, errnum);
        QFETCH(QString, note);
        QCOMPARE(PortDiagnosis::openFailureNote(changed(change), errnum), note);
    }
};

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "test_port_diagnosis.moc"

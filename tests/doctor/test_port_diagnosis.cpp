// The port doctor's decisions, row by row (facts in, findings out), then the facts it
// reads from the running system, with a user database of the test's making.
#include "FakeUsers.h"
#include "Pty.h"
#include "Support.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortFactCollector.h"
#include "doctor/facts/BrlttyRules.h"

#include <QProcess>
#include <QTest>
#include <cerrno>
#include <functional>
#include <sys/stat.h>

using Change = std::function<void(PortFacts&)>;
Q_DECLARE_METATYPE(Change)

namespace {

constexpr uint dialout = 20;
constexpr uint erika = 1000;
const QString brlttyRule = "/usr/lib/udev/rules.d/90-brltty-device.rules";

// An FTDI adapter in the group dialout that the user may open.
PortFacts changed(const Change& change)
{
    PortFacts f;
    f.port = f.listedAs = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
    f.node = "/dev/ttyUSB0";
    f.driver = "ftdi_sio";
    f.vendorID = 0x0403;
    f.productID = 0x6001;
    f.nodeAttributes = NodeAttributes{0, dialout, "dialout", 0660};
    f.user = {erika, "erika", {erika, dialout}, {erika, dialout}};
    f.latencyTimerMs = 1;
    if (change)
        change(f);
    return f;
}

void notInDialout(PortFacts& f)
{
    f.user.sessionGroups = f.user.databaseGroups = {erika};
}

void acm(PortFacts& f)
{
    f.node = "/dev/ttyACM0", f.driver = "cdc_acm", f.modemManagerRunning = true;
}

void unboundCh340(PortFacts& f)
{
    f = PortFacts();
    f.port = "USB Serial (WCH CH34x)", f.vendorID = 0x1A86, f.productID = 0x7523, f.unbound = true;
}

} // namespace

class TestPortDiagnosis : public QObject {
    Q_OBJECT

private slots:
    // The ids most severe first; the first finding's text and a command, where given.
    void findings_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command");
        const auto said = [](const char* tag, const QStringList& ids, const QString& text,
                             const QString& command, const Change& change) {
            QTest::newRow(tag) << change << ids << text << command;
        };
        const auto row = [&](const char* tag, const QStringList& ids, const Change& change) {
            said(tag, ids, {}, {}, change);
        };
        row("working", {}, {});
        said("not in the node's group", {"permission"},
             "Keine Berechtigung – Sie sind nicht in der Gruppe „uucp“, der /dev/ttyUSB0 gehört.",
             "sudo usermod -aG uucp $USER",
             [](PortFacts& f) { notInDialout(f), f.nodeAttributes->groupName = "uucp"; });
        said("in the unnamed group from the next login", {"not-in-group-session"},
             "Keine Berechtigung – Sie sind in der Gruppe „20“, aber diese Anmeldung kennt die "
             "Gruppe noch nicht.",
             "newgrp 20",
             [](PortFacts& f) { f.nodeAttributes->groupName.clear(), f.user.sessionGroups = {}; });
        said("only the owner may: a rule for this adapter", {"permission"}, {},
             "echo 'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
             "GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "
             "/etc/udev/rules.d/70-bildwart-serial.rules",
             [](PortFacts& f) { f.nodeAttributes->mode = 0600; });
        said("root's group is none to join", {"permission"}, {}, "sudo usermod -aG dialout $USER",
             [](PortFacts& f) {
                 notInDialout(f), f.nodeAttributes->groupId = 0,
                                  f.nodeAttributes->groupName = "root";
             });
        row("root may anything", {}, [](PortFacts& f) {
            f.nodeAttributes->mode = 0600, f.user = {0, "root", {0}, {0}};
        });
        row("the owner's bits count for the owner", {"permission"},
            [](PortFacts& f) { f.nodeAttributes->ownerId = erika, f.nodeAttributes->mode = 0060; });
        row("others may", {}, [](PortFacts& f) { notInDialout(f), f.nodeAttributes->mode = 0666; });
        row("mode allows, open refused", {"permission"},
            [](PortFacts& f) { f.openError = EACCES; });
        said("two holders, brltty apart", {"held-by-process"},
             "picocom (PID 4711) und minicom (PID 4712) haben den Port geöffnet.", {},
             [](PortFacts& f) {
                 f.holders = {{4711, "picocom"}, {812, "brltty"}, {4712, "minicom"}};
             });
        said("busy, holder hidden", {"held-by-process"}, {}, "sudo fuser -v /dev/ttyUSB0",
             [](PortFacts& f) { f.openError = EBUSY; });
        row("held by brltty", {"brltty"}, [](PortFacts& f) {
            f.holders = {{812, "brltty"}}, f.brlttyRunning = true;
        });
        said("brltty's rule, tty vanished at once", {"brltty"}, {},
             "sudo ln -s /dev/null /etc/udev/rules.d/90-brltty-device.rules",
             [](PortFacts& f) { f.vanishedQuickly = true, f.brlttyRule = brlttyRule; });
        row("tty vanished at once, no brltty", {}, [](PortFacts& f) { f.vanishedQuickly = true; });
        row("brltty's rule names a working adapter", {},
            [](PortFacts& f) { f.brlttyRule = brlttyRule; });
        said(
            "ModemManager and a ttyACM", {"modemmanager"}, {},
            R"(echo 'ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", ENV{ID_MM_DEVICE_IGNORE}="1"' | sudo tee /etc/udev/rules.d/70-bildwart-modemmanager.rules)",
            acm);
        row("ModemManager told to leave it", {},
            [](PortFacts& f) { acm(f), f.modemManagerIgnores = true; });
        row("ModemManager's AT came back", {"modemmanager"}, [](PortFacts& f) {
            f.modemManagerRunning = true, f.receivedAfterConnect = "\r\n>ATE0\rAT+GCAP\r";
        });
        row("a display's answer is no probe", {}, [](PortFacts& f) {
            f.modemManagerRunning = true, f.receivedAfterConnect = "\r\nFORMAT\r\nSTATUS=ON\r>";
        });
        row("ModemManager holds it", {"modemmanager"}, [](PortFacts& f) {
            f.holders = {{640, "ModemManager"}};
        });
        said("latency 16 ms", {"latency-timer"}, {},
             "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer",
             [](PortFacts& f) { f.latencyTimerMs = 16; });
        said("by-id shared: where it is listed instead", {"by-id-collision"},
             "Ein zweiter Wandler meldet sich mit derselben Kennung (usb-FTDI_FT232R-if00-port0): "
             "ohne eigene Seriennummer sind beide nicht zu unterscheiden. Bildwart führt diesen "
             "Port deshalb unter /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0.",
             {}, [](PortFacts& f) {
                 f.listedAs = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
                 f.sharedById = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
             });
        said("no driver", {"no-driver"}, {}, "sudo modprobe ch341", unboundCh340);
        row("held through usbfs", {"held-through-usbfs"},
            [](PortFacts& f) { unboundCh340(f), f.capturedBy = "VirtualBoxVM"; });
        row("brltty's rule names an adapter without port", {"brltty"}, [](PortFacts& f) {
            unboundCh340(f), f.capturedBy = "usbfs", f.brlttyRule = brlttyRule;
        });
        row("most severe first", {"permission", "by-id-collision", "latency-timer"},
            [](PortFacts& f) {
                f.latencyTimerMs = 16, f.sharedById = "/dev/serial/by-id/x", notInDialout(f);
            });
    }
    void findings()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, ids);
        QFETCH(QString, text);
        QFETCH(QString, command);
        const QList<Finding> findings = PortDiagnosis::findings(changed(change));
        QStringList found;
        for (const Finding& finding : findings) {
            found.append(finding.id);
            QVERIFY(!finding.fix.isEmpty());
        }
        QCOMPARE(found, ids);
        if (!text.isEmpty())
            QCOMPARE(findings.first().text, text);
        if (!command.isEmpty())
            QVERIFY2(findings.first().commands.contains(command),
                     qPrintable(findings.first().commands.join('\n')));
    }

    // What a failed open's message ends with: the cause that fits the error.
    void openFailureNote_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("errnum");
        QTest::addColumn<QString>("note");
        const auto row = [](const char* tag, int errnum, const QString& note,
                            const Change& change) {
            QTest::newRow(tag) << change << errnum << note;
        };
        row("not in the group", EACCES, "Sie sind nicht in der Gruppe „dialout“.", notInDialout);
        row("in it from the next login", EACCES,
            "Sie sind in der Gruppe „dialout“, aber erst ab der nächsten Anmeldung.",
            [](PortFacts& f) { f.user.sessionGroups = {erika}; });
        row("refused despite the mode", EPERM, "Der Zugriff wird von außen verwehrt.", {});
        row("busy: who has it", EBUSY, "picocom (PID 4711) hat den Port geöffnet.",
            [](PortFacts& f) {
                f.holders = {{4711, "picocom"}};
            });
        row("gone: brltty took it", ENOENT,
            "brltty (Dienst für Braillezeilen) hat den Wandler übernommen.",
            [](PortFacts& f) { f.brlttyRunning = f.vanishedQuickly = true; });
        row("gone: nothing known", ENOENT, {}, {});
    }
    void openFailureNote()
    {
        QFETCH(Change, change);
        QFETCH(int, errnum);
        QFETCH(QString, note);
        QCOMPARE(PortDiagnosis::openFailureNote(changed(change), errnum), note);
    }

    void childProcessHoldsThePort()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        QProcess child;
        child.setStandardInputFile(pty.slavePath());
        child.start("sleep", {"600"});
        QVERIFY(child.waitForStarted(waitMs));
        struct stat node {};
        QVERIFY(::stat(pty.slavePath().toLocal8Bit().constData(), &node) == 0);
        auto users = std::make_shared<FakeUsers>();
        users->user = {uint(node.st_uid), "erika", {}, {}};
        users->groups = {{uint(node.st_gid), "zugang"}};
        PortFactCollector::Sources sources;
        sources.users = users;

        const PortFacts facts =
            PortFactCollector(sources).collect(pty.slavePath(), PortFactCollector::Depth::full);
        QCOMPARE(facts.nodeAttributes, (NodeAttributes{uint(node.st_uid), uint(node.st_gid),
                                                       "zugang", uint(node.st_mode & 07777)}));
        // The test's own descriptor is not among them.
        QCOMPARE(facts.holders, (QList<ProcessHolder>{{child.processId(), "sleep"}}));
        child.kill();
        child.waitForFinished(waitMs);
    }

    // Who locks the file 00:05:87 (devtmpfs, inode 87).
    void lockingProcesses()
    {
        const auto lockers = [](const char* locks) {
            return ProcessTable::lockingProcesses(locks, 0, 5, 87);
        };
        QCOMPARE(lockers("1: FLOCK  ADVISORY  WRITE 4711 00:05:87 0 EOF\n"), QList<qint64>{4711});
        // Another inode, another device, a longer inode.
        QCOMPARE(lockers("2: FLOCK  ADVISORY  WRITE 1 00:05:88 0 EOF\n"
                         "3: FLOCK  ADVISORY  WRITE 2 fe:00:87 0 EOF\n"
                         "4: FLOCK  ADVISORY  WRITE 3 00:05:870 0 EOF\n"),
                 QList<qint64>{});
        // A waiter, an open file description lock, one process twice.
        QCOMPARE(lockers("1: -> POSIX  ADVISORY  WRITE 813 00:05:87 0 EOF\n"
                         "5: OFDLCK ADVISORY  READ  -1 00:05:87 0 EOF\n"
                         "6: FLOCK  ADVISORY  WRITE 9 00:05:87 0 EOF\n"
                         "7: POSIX  ADVISORY  READ  9 00:05:87 0 10\n"),
                 QList<qint64>{9});
    }

    void brlttyRuleNamesAdapter()
    {
        const auto names = [](const char* rules) {
            return BrlttyRules::namesAdapter(rules, 0x1a86, 0x7523);
        };
        QVERIFY(names("ENV{PRODUCT}==\"1a86/7523/*\", GOTO=\"run\""));
        QVERIFY(names("SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"1A86\", ATTRS{idProduct}==\"7523\""));
        QVERIFY(!names("ENV{PRODUCT}==\"1a86/75230/*\"")); // another product
        QVERIFY(!names("# ENV{PRODUCT}==\"1a86/7523/*\""));
        QVERIFY(!names("ATTRS{idVendor}==\"1a86\"")); // the vendor alone
    }
};

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "test_port_diagnosis.moc"

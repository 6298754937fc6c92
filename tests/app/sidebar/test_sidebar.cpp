// The connection sidebar and its sections, on a controller with fake ports and lines.
#include "app/UiFixture.h"
#include "app/sidebar/ConnectionSidebar.h"
#include "app/sidebar/NetworkAddressDialog.h"
#include "app/sidebar/PortDoctorDialog.h"
#include "app/widgets/RelativeTime.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/StatusLine.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cerrno>

class SidebarTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useGermanLocale(); }

    void adapterHintsAndThePicker()
    {
        With<ConnectionSidebar> f;
        auto* noAdapter = child<StatusLine>(&f.view, "noAdapterLine");
        auto* adapters = child<QWidget>(&f.view, "unboundAdapters");
        QVERIFY(noAdapter->isVisible()); // the simulators are listed, but they are no adapter
        QVERIFY(!adapters->isVisible());
        f.scanner->adapters.append({"USB-Serial Controller", 0x067B, 0x2303, "A12", std::nullopt});
        f.controller->ports().refresh();
        QVERIFY(!noAdapter->isVisible());
        QCOMPARE(adapters->findChild<StatusLine*>()->text(),
                 "USB-Serial Controller (Prolific PL2303 · A12) steckt, hat aber keinen Port");
        // A port-bearing adapter ends both.
        f.scanner->adapters.clear();
        f.scanner->list("/dev/ttyUSB0");
        f.scanner->ports.append({"/dev/rfcomm0", "rfcomm0", "/dev/rfcomm0", false});
        f.controller->ports().refresh();
        QVERIFY(!noAdapter->isVisible() && !adapters->isVisible());

        auto* picker = child<QComboBox>(&f.view, "portPicker");
        auto* warning = child<StatusLine>(&f.view, "internalPortLine");
        f.controller->ports().select("/dev/ttyUSB0");
        QCOMPARE(picker->currentData().toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(child<StatusLine>(&f.view, "portDetail")->text(), "/dev/ttyUSB0 · USB");
        QVERIFY(!warning->isVisible());
        chooseInPicker(picker, picker->findData("/dev/rfcomm0"));
        QCOMPARE(f.controller->ports().selectedPath(), QStringLiteral("/dev/rfcomm0"));
        QVERIFY(warning->isVisible());

        // A path that is not listed is shown rather than a blank picker, and only while chosen.
        f.controller->ports().select("/dev/ttyACM9");
        QCOMPARE(picker->currentText(), QStringLiteral("/dev/ttyACM9"));
        f.controller->ports().select("/dev/ttyUSB0");
        QCOMPARE(picker->findData("/dev/ttyACM9"), -1);
        QCOMPARE(picker->count(), f.controller->ports().ports().size() + 1);

        // The last entry asks for a network address, HOST:PORT as a technician types it; the
        // dialog grows for its message, and "Verbinden" connects. Listed once connected.
        QTest::keyClick(picker, Qt::Key_End);
        QCOMPARE(picker->currentData().toString(), QStringLiteral("/dev/ttyUSB0"));
        auto* dialog = child<NetworkAddressDialog>(&f.view, QString());
        auto* ok = child<QDialogButtonBox>(dialog, QString())->button(QDialogButtonBox::Ok);
        auto* problem = child<QLabel>(dialog, "networkAddressProblem");
        const int before = dialog->height();
        QTest::keyClicks(child<QLineEdit>(dialog, "networkAddress"), "gw:");
        QVERIFY(!ok->isEnabled()); // no port number yet
        QVERIFY(!problem->text().isEmpty() && dialog->height() > before);
        QVERIFY(problem->geometry().bottom() < ok->parentWidget()->geometry().top());
        QTest::keyClicks(child<QLineEdit>(dialog, "networkAddress"), "4001");
        QCOMPARE(ok->text(), "Verbinden");
        ok->click();
        QCOMPARE(f.controller->ports().selectedPath(), QStringLiteral("tcp://gw:4001"));
        QVERIFY(!f.controller->line().connection().is(ConnectionState::Case::disconnected));
        QTRY_COMPARE(picker->currentText(), QStringLiteral("tcp://gw:4001"));
        QVERIFY(picker->currentIndex() < picker->findData(SerialPortInfo::smartSimulatorPath));
    }

    // Buttons and lines follow the connection; a doctor's finding leads to its fix and command.
    void buttonsAndLinesFollowTheConnection()
    {
        With<ConnectionSidebar> f;
        const auto shown = [&](const char* name) {
            return child<QWidget>(&f.view, name)->isVisible();
        };
        auto* connect = child<QPushButton>(&f.view, "connectButton");
        QVERIFY(shown("connectButton") && !connect->isEnabled()); // nothing selected
        f.connect();
        QVERIFY(shown("disconnectButton") && !shown("connectButton"));
        QVERIFY(!child<QWidget>(&f.view, "refreshPortsButton")->isEnabled());

        f.scanner->unlist("/dev/ttyUSB0"); // pulled: waiting for it to come back
        f.lines.lose("weg");
        QVERIFY(shown("stopWaitingButton") && shown("waitingLine"));
        QCOMPARE(child<StatusLine>(&f.view, "waitingLine")->text(),
                 "Warte auf /dev/ttyUSB0 – verbindet sich selbst, sobald er wieder da ist.");
        child<QPushButton>(&f.view, "stopWaitingButton")->click();
        QVERIFY(shown("connectButton") && !shown("waitingLine"));

        f.scanner->list("/dev/ttyUSB0");
        f.controller->ports().refresh();
        f.lines.openFailure = LineError::openFailed("/dev/ttyUSB0", EBUSY);
        connect->click();
        QVERIFY(shown("failedLine") && shown("connectButton")); // and one can try again
        QCOMPARE(child<StatusLine>(&f.view, "failedLine")->text(),
                 f.controller->line().connection().reason);
        auto* doctor = child<QWidget>(&f.view, "portDoctor");
        QVERIFY(!doctor->isVisible()); // the doctor finds nothing yet

        // The node is dialout's, the user is not in it: the failed connection asks again.
        f.doctor->facts.node = "/dev/ttyUSB0";
        f.doctor->facts.nodeAttributes = NodeAttributes{0, 20, "dialout", 0660};
        f.doctor->facts.user.userId = 1000;
        f.lines.openFailure = LineError::openFailed("/dev/ttyUSB0", EACCES);
        connect->click();
        QVERIFY(doctor->isVisible());
        QCOMPARE(child<StatusLine>(&f.view, "portDoctorSummary")->text(),
                 "Sie sind nicht in der Gruppe „dialout“.");

        auto* link = child<QLabel>(&f.view, "portDoctorDetails");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->contentsRect().center());
        auto* dialog = child<PortDoctorDialog>(&f.view, "portDoctorDialog");
        const Finding finding = f.doctor->examine("/dev/ttyUSB0", {}, {}).findings.value(0);
        QCOMPARE(child<QLabel>(dialog, "findingText")->text(), finding.text);
        QCOMPARE(child<QLabel>(dialog, "findingFix")->text(), "Abhilfe: " + finding.fix);
        QCOMPARE(child<QLabel>(dialog, "findingCommand")->text(), "sudo usermod -aG dialout $USER");
        child<QPushButton>(dialog, "copyCommandButton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), "sudo usermod -aG dialout $USER");
    }

    // Every picker drives its own field; timing is kept, the standard button undoes them all.
    void parameterPickersChangeTheSettings()
    {
        With<ConnectionSidebar> f;
        SerialSettings timed = SerialSettings::smartStandard();
        timed.responseTimeout = 3.0;
        f.controller->line().setSettings(timed);
        auto* standard = child<QPushButton>(&f.view, "smartStandardButton");
        QVERIFY(standard->isVisible()); // the timing differs from the standard
        const std::pair<const char*, const char*> choices[] = {
            {"baudRatePicker", "115200"},
            {"dataBitsPicker", "7"},
            {"parityPicker", "Gerade (Even)"},
            {"stopBitsPicker", "2"},
            {"flowControlPicker", "Hardware (RTS/CTS)"},
            {"lineEndingPicker", "CR+LF (\\r\\n)"}};
        for (const auto& [name, entry] : choices) {
            auto* box = child<QComboBox>(&f.view, name);
            chooseInPicker(box, box->findText(entry));
        }
        QCOMPARE(child<QLabel>(&f.view, "settingsSummary")->text(), "115200 · 7E2");
        QCOMPARE(f.controller->line().settings().flowControl, SerialSettings::FlowControl::rtsCts);
        QCOMPARE(f.controller->line().settings().lineEnding, SerialSettings::LineEnding::crlf);
        QCOMPARE(f.controller->line().settings().responseTimeout, 3.0);
        standard->click();
        QCOMPARE(f.controller->line().settings(), SerialSettings::smartStandard());
        QVERIFY(!standard->isVisible());
        QCOMPARE(child<QComboBox>(&f.view, "parityPicker")->currentText(), "Keine");
        timed.baudRate = 31250; // not offered: shown all the same
        f.controller->line().setSettings(timed);
        QCOMPARE(child<QComboBox>(&f.view, "baudRatePicker")->currentText(), "31250");
    }

    void seriesAndStatisticsFollowTheController()
    {
        With<ConnectionSidebar> f;
        auto* picker = child<SegmentedControl>(&f.view, "seriesPicker");
        QCOMPARE(picker->segments(), (QStringList{"SMART QX", "SMART RX"}));
        QTest::mouseClick(picker, Qt::LeftButton, {},
                          QPoint(picker->width() * 3 / 4, picker->height() / 2));
        QCOMPARE(f.controller->display().series(), DisplaySeries::rx);
        f.controller->display().setSeries(DisplaySeries::qx); // recognised from the model number
        QCOMPARE(picker->currentIndex(), 0);

        auto* lastReply = child<QLabel>(&f.view, "lastReplyValue");
        QCOMPARE(child<QLabel>(&f.view, "txCountValue")->text(), QStringLiteral("0 Bytes"));
        QVERIFY(!lastReply->isVisible());
        QVERIFY(!child<QWidget>(&f.view, "resetDropoutsButton")->isVisible());

        f.connect();
        f.lines.receive(QByteArray(1000, 'x'));
        QCOMPARE(child<QLabel>(&f.view, "rxCountValue")->text(),
                 QLocale().toString(f.controller->log().counters().rx) + " Bytes");
        QVERIFY(lastReply->isVisible());
        f.lines.lose("weg");
        QCOMPARE(child<QLabel>(&f.view, "dropoutsValue")->text(), QStringLiteral("1"));
        QVERIFY(child<QWidget>(&f.view, "resetDropoutsButton")->isVisible());

        // How long ago the last reply came.
        const std::pair<qint64, const char*> rows[] = {
            {-5, "gerade eben"},        {59, "vor 59 s"},     {179, "vor 2 min"},
            {2 * 3600 + 59, "vor 2 h"}, {86400, "vor 1 Tag"}, {3 * 86400, "vor 3 Tagen"},
        };
        for (const auto& [seconds, text] : rows)
            QCOMPARE(relativeTimeText(seconds), QString(text));
    }
};

QTEST_MAIN(SidebarTest)
#include "test_sidebar.moc"

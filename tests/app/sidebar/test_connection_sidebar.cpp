#include "app/UiFixture.h"
#include "app/sidebar/ConnectionSidebar.h"
#include "app/sidebar/RelativeTime.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/StatusLine.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class ConnectionSidebarTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useGermanLocale(); }

    void noAdapterHintGivesWayToUnboundAdapters()
    {
        UiFixture f;
        ConnectionSidebar sidebar(*f.controller);
        sidebar.show();
        auto* noAdapter = child<StatusLine>(&sidebar, "noAdapterLine");
        auto* adapters = child<QWidget>(&sidebar, "unboundAdapters");
        // The simulators are listed, but they are no adapter.
        QVERIFY(!f.controller->ports().isEmpty());
        QVERIFY(noAdapter->isVisible());
        QCOMPARE(noAdapter->text(), QStringLiteral("Kein USB-Seriell-Wandler gefunden"));
        QVERIFY(!adapters->isVisible());

        f.scanner->adapters.append({"USB-Serial Controller", 0x067B, 0x2303, "A12", std::nullopt});
        f.controller->refreshPorts();
        QVERIFY(!noAdapter->isVisible());
        QVERIFY(adapters->isVisible());
        const QStringList texts = [&] {
            QStringList list;
            for (const StatusLine* line : adapters->findChildren<StatusLine*>())
                list.append(line->text());
            return list;
        }();
        QCOMPARE(texts,
                 QStringList{"USB-Serial Controller (Prolific PL2303 \u00B7 A12) steckt, hat "
                             "aber keinen Port"});

        // A port-bearing adapter ends both.
        f.scanner->adapters.clear();
        f.scanner->list("/dev/ttyUSB0");
        f.controller->refreshPorts();
        QVERIFY(!noAdapter->isVisible());
        QVERIFY(!adapters->isVisible());
    }

    void selectedPortShowsDetailAndInternalWarning()
    {
        UiFixture f;
        f.scanner->list("/dev/ttyUSB0");
        f.scanner->ports.append({"/dev/rfcomm0", "rfcomm0", "/dev/rfcomm0", false});
        f.controller->refreshPorts();
        ConnectionSidebar sidebar(*f.controller);
        sidebar.show();
        auto* picker = child<QComboBox>(&sidebar, "portPicker");
        auto* warning = child<StatusLine>(&sidebar, "internalPortLine");
        auto* detail = child<QLabel>(&sidebar, "portDetail");

        f.controller->setSelectedPath("/dev/ttyUSB0");
        QCOMPARE(picker->currentData().toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(detail->text(), QStringLiteral("/dev/ttyUSB0 \u00B7 USB"));
        QVERIFY(!warning->isVisible());

        // Choosing in the picker selects in the controller.
        const int internal = picker->findData("/dev/rfcomm0");
        QVERIFY(internal >= 0);
        chooseInPicker(picker, internal);
        QCOMPARE(f.controller->selectedPath(), QStringLiteral("/dev/rfcomm0"));
        QVERIFY(warning->isVisible());
        QCOMPARE(warning->text(),
                 QStringLiteral("Das ist ein interner Port des Rechners, nicht der Wandler."));
    }

    void unlistedSelectionIsShownNotBlank()
    {
        UiFixture f;
        ConnectionSidebar sidebar(*f.controller);
        auto* picker = child<QComboBox>(&sidebar, "portPicker");
        f.controller->setSelectedPath("/dev/ttyACM9");
        QCOMPARE(picker->currentText(), QStringLiteral("/dev/ttyACM9"));
        // Only one such entry, and it goes when a listed port is chosen.
        f.controller->setSelectedPath("/dev/ttyACM8");
        QCOMPARE(picker->findData("/dev/ttyACM9"), -1);
        f.controller->setSelectedPath(SerialPortInfo::smartSimulatorPath);
        QCOMPARE(picker->findData("/dev/ttyACM8"), -1);
        QCOMPARE(picker->count(), f.controller->ports().size());
    }

    void failureReasonIsShown()
    {
        UiFixture f;
        ConnectionSidebar sidebar(*f.controller);
        sidebar.show();
        auto* failed = child<StatusLine>(&sidebar, "failedLine");
        QVERIFY(!failed->isVisible());
        f.controller->setSelectedPath("/dev/bildwart-test-missing");
        f.controller->connect(false);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->connection().is(ConnectionState::Case::failed),
                                 10000);
        QVERIFY(failed->isVisible());
        QCOMPARE(failed->text(), f.controller->connection().reason);
        // From a failure one can try again.
        QVERIFY(child<QPushButton>(&sidebar, "connectButton")->isVisible());
    }

    void seriesPickerSetsTheSeries()
    {
        UiFixture f;
        ConnectionSidebar sidebar(*f.controller);
        sidebar.show();
        auto* picker = child<SegmentedControl>(&sidebar, "seriesPicker");
        QCOMPARE(picker->segments(), (QStringList{"SMART QX", "SMART RX"}));
        QCOMPARE(picker->currentIndex(), 0);
        // A click on the right half chooses the second segment.
        QTest::mouseClick(picker, Qt::LeftButton, {},
                          QPoint(picker->width() * 3 / 4, picker->height() / 2));
        QCOMPARE(f.controller->series(), DisplaySeries::rx);
        QCOMPARE(f.store.settings().value("displaySeries").toString(), QStringLiteral("RX"));
        // Recognised from the model number, the picker follows.
        f.controller->setSeries(DisplaySeries::qx);
        QCOMPARE(picker->currentIndex(), 0);
    }

    void statisticsFollowTheLine()
    {
        UiFixture f;
        ConnectionSidebar sidebar(*f.controller);
        sidebar.show();
        auto* sent = child<QLabel>(&sidebar, "txCountValue");
        auto* lastReply = child<QLabel>(&sidebar, "lastReplyValue");
        QCOMPARE(sent->text(), QStringLiteral("0 Bytes"));
        QVERIFY(!lastReply->isVisible());
        QVERIFY(!child<QPushButton>(&sidebar, "resetDropoutsButton")->isVisible());

        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QTRY_VERIFY_WITH_TIMEOUT(lastReply->isVisible(), 10000);
        QCOMPARE(lastReply->text().isEmpty(), false);
        QCOMPARE(sent->text(), QLocale().toString(f.controller->txCount()) + " Bytes");
        QVERIFY(f.controller->txCount() > 0);
    }

    void relativeTime_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("clock set back") << qint64(-5) << "gerade eben";
        QTest::newRow("now") << qint64(0) << "gerade eben";
        QTest::newRow("seconds") << qint64(3) << "vor 3 s";
        QTest::newRow("last second of the minute") << qint64(59) << "vor 59 s";
        QTest::newRow("one minute") << qint64(60) << "vor 1 min";
        QTest::newRow("minutes cut down") << qint64(179) << "vor 2 min";
        QTest::newRow("hours") << qint64(2 * 3600 + 59) << "vor 2 h";
        QTest::newRow("one day") << qint64(86400) << "vor 1 Tag";
        QTest::newRow("days") << qint64(3 * 86400) << "vor 3 Tagen";
    }
    void relativeTime()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(relativeTimeText(seconds), text);
    }
};

QTEST_MAIN(ConnectionSidebarTest)
#include "test_connection_sidebar.moc"

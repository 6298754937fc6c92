// What the controller keeps across launches, how it starts, and its traffic log.
#include "ControllerFixture.h"
#include "controller/LogExport.h"

#include <QSignalSpy>
#include <ctime>

namespace {

// Entries keep UTC; the export shows local time (the test runs an hour east of UTC).
LogEntry entry(Kind kind, const QString& text, const QByteArray& bytes = {})
{
    return {1, QDateTime(QDate(2026, 12, 5), QTime(13, 3, 22, 105), Qt::UTC), kind, text, bytes};
}

} // namespace

class ControllerStateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void storedValuesAreRestored()
    {
        ControllerFixture f;
        const QString port = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
        f.scanner->list(port);
        SerialSettings stored;
        stored.baudRate = 9600;
        stored.parity = SerialSettings::Parity::even;
        QSettings& s = f.store.settings();
        s.setValue("serialSettings", *stored.toJson());
        s.setValue("lastPortPath", port);
        s.setValue("pollingEnabled", false);
        s.setValue("pollingInterval", 2.5);
        s.setValue("displaySeries", "RX");
        s.setValue("autoReconnect", false);
        DisplayController& c = f.make();
        QCOMPARE(c.line().settings(), stored);
        QCOMPARE(c.ports().selectedPath(), port);
        QCOMPARE(c.pump().polling(), (CommandPump::Polling{false, 2.5}));
        QCOMPARE(c.display().series(), DisplaySeries::rx);
        QCOMPARE(c.line().autoReconnect(), false);
    }

    // Missing, bad or damaged values give the defaults, and nothing is written back: no
    // defaults, and no bad value replaced behind the user's back.
    void badValuesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the settings file
        const auto row = [](const char* tag, const QByteArray& line) {
            QTest::newRow(tag) << (line.isEmpty() ? line : "[General]\n" + line + "\n");
        };
        row("fresh store", "");
        row("settings not json", "serialSettings=@ByteArray({)");
        row("zero interval", "pollingInterval=0");
        row("unknown series", "displaySeries=MX");
        row("simulator as last port", "lastPortPath=simulator://smart");
        row("wrong types", "serialSettings=17\npollingInterval=schnell\n"
                           "displaySeries=@Variant(\\0\\0\\0\\x7f)\nlastPortPath=@Invalid()");
    }
    void badValuesGiveDefaults()
    {
        QFETCH(QByteArray, content);
        ControllerFixture f;
        {
            QFile file(f.store.path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        f.store.settings().sync();
        DisplayController& c = f.make();
        QCOMPARE(c.line().settings(), SerialSettings::smartStandard());
        QCOMPARE(c.pump().polling(), CommandPump::Polling());
        QCOMPARE(c.display().series(), DisplaySeries::qx);
        QCOMPARE(c.line().autoReconnect(), true);
        QCOMPARE(c.ports().selectedPath(), QString());
        QCOMPARE(c.line().connection(), ConnectionState::disconnected());
        // A damaged line setting is said, not passed over in silence.
        QCOMPARE(ControllerSettings::load(f.store.settings()).problems.size(),
                 content.contains("serialSettings") ? 1 : 0);
        f.controller.reset();
        f.store.settings().sync();
        QFile file(f.store.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    // The controller announces what it keeps; the store's edge writes what changed, and
    // nothing for an equal value.
    void persistence()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        QSignalSpy changed(&c, &DisplayController::storedSettingsChanged);
        c.line().setSettings(SerialSettings::smartStandard());
        f.setPolling(true, 5.0);
        QCOMPARE(changed.size(), 0);
        QVERIFY(f.store.settings().allKeys().isEmpty());

        SerialSettings other;
        other.assertRTS = false;
        c.line().setSettings(other);
        f.setPolling(false, 2);
        c.display().setSeries(DisplaySeries::rx);
        c.line().setAutoReconnect(false);
        QCOMPARE(changed.size(), 4);
        ControllerSettings expected;
        expected.serial = other;
        expected.pollingEnabled = false;
        expected.pollingInterval = 2;
        expected.series = DisplaySeries::rx;
        expected.autoReconnect = false;
        QCOMPARE(ControllerSettings::load(f.store.settings()).settings, expected);
        QCOMPARE(f.store.settings().value("displaySeries").toString(), QStringLiteral("RX"));

        // The last port and the network addresses, after connecting.
        const QString address = QStringLiteral("tcp://127.0.0.1:4001");
        f.connectTo(address);
        expected.lastPortPath = address;
        expected.recentNetworkAddresses = QStringList{address};
        QCOMPARE(c.storedSettings(), expected);
        QCOMPARE(ControllerSettings::load(f.store.settings()).settings, expected);
        QCOMPARE(ControllerSettings::load(f.store.settings()).problems, QStringList());
    }

    void startupConnection_data()
    {
        QTest::addColumn<bool>("autoReconnect");
        QTest::addColumn<QString>("remembered"); // "listed" or a stored path
        QTest::addColumn<int>("expected");       // ConnectionState::Case
        using C = ConnectionState::Case;
        QTest::newRow("remembered adapter present") << true << "listed" << int(C::connected);
        QTest::newRow("reconnection off") << false << "listed" << int(C::disconnected);
        QTest::newRow("simulator never restored")
            << true << "simulator://smart" << int(C::disconnected);
    }
    void startupConnection()
    {
        QFETCH(bool, autoReconnect);
        QFETCH(QString, remembered);
        QFETCH(int, expected);
        ControllerFixture f;
        QString path = remembered;
        if (remembered == u"listed") {
            path = QStringLiteral("/dev/ttyUSB0");
            f.scanner->list(path);
        }
        f.store.settings().setValue("lastPortPath", path);
        f.store.settings().setValue("autoReconnect", autoReconnect);

        DisplayController& controller = f.make(true);
        // The connection is made after construction, never inside it.
        QVERIFY(!controller.line().connection().is(ConnectionState::Case::connected));
        f.clock->advance(10);
        QCOMPARE(int(controller.line().connection().state), expected);
        QCOMPARE(controller.line().wantedPath(),
                 expected == int(ConnectionState::Case::disconnected) ? std::nullopt
                                                                      : std::optional(path));
        // Without the option nothing is connected, whatever is remembered.
        f.make(false);
        f.clock->advance(10);
        QCOMPARE(f.controller->line().connection(), ConnectionState::disconnected());
    }

    void printable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("line ends, blank") << QByteArray("Hi x\r\n") << QStringLiteral("Hi x␍␊");
        QTest::newRow("non-printables")
            << QByteArray("\x00\t\x7F\x80\xFF", 5) << QStringLiteral("·····");
        QTest::newRow("utf-8 is two dots") << QByteArray("\xC3\xA4") << QStringLiteral("··");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void printable()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(LogEntry::printable(bytes), expected);
    }

    void exportLine_data()
    {
        QTest::addColumn<LogEntry>("entry");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with bytes") << entry(Kind::tx, "get volume", "get volume\r")
                                    << QStringLiteral("2026-12-05 14:03:22.105 → get volume  "
                                                      "[67 65 74 20 76 6F 6C 75 6D 65 0D]");
        QTest::newRow("without bytes")
            << entry(Kind::info, "Verbindung getrennt")
            << QStringLiteral("2026-12-05 14:03:22.105 ℹ\uFE0E Verbindung getrennt");
    }
    void exportLine()
    {
        QFETCH(LogEntry, entry);
        QFETCH(QString, expected);
        QCOMPARE(entry.exportLine(), expected);
    }

    // The export, then the cap: it drops the oldest entry per new one and says so, never
    // the whole log; the entries carry fresh ids and the clock's time.
    void exportCapAndAnnouncements()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(promptOnly);
        c.log().clear();
        QCOMPARE(c.log().exportText(), QString());
        c.pump().setRawMode(true);
        c.pump().setRawMode(false);
        const QString text = c.log().exportText();
        QCOMPARE(text.count(u'\n'), 1);
        QVERIFY(text.endsWith(u'“'));
        // The name comes from the controller's clock, in local time.
        QCOMPARE(c.log().proposedExportFileName(),
                 QStringLiteral("261205_1503_Bildwart_Terminal.txt"));

        // UTF-8, and a longer old file is replaced, not overwritten in part.
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QVERIFY(writeExportFile(path, "alt, viel länger als der neue Inhalt"));
        QVERIFY(writeExportFile(path, QStringLiteral("→ ä")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xE2\x86\x92 \xC3\xA4"));
        QVERIFY(writeExportFile(path, QString()));
        QCOMPARE(QFileInfo(path).size(), 0);
        QVERIFY(!writeExportFile(dir.filePath("missing/log.txt"), "x"));

        c.pump().setRawMode(true);
        c.log().clear();
        QSignalSpy appended(&c.log(), &TrafficLog::appended);
        QSignalSpy removed(&c.log(), &TrafficLog::removedFromFront);
        QSignalSpy cleared(&c.log(), &TrafficLog::cleared);
        for (int i = 0; i < LogBuffer::capacity; ++i)
            f.lines.receive(QByteArray::number(i));
        QCOMPARE(appended.size(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 0);
        f.clock->advance(1.5);
        f.lines.receive("neu");
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().first().toInt(), 1);
        QCOMPARE(c.log().entries().size(), LogBuffer::capacity);
        QCOMPARE(c.log().entries().at(0).text, QStringLiteral("1"));
        QCOMPARE(c.log().entries().last().bytes, QByteArray("neu"));
        QVERIFY(c.log().entries().at(0).id != c.log().entries().at(1).id);
        QCOMPARE(c.log().entries().at(0).date.msecsTo(c.log().entries().last().date), 1500);

        c.log().clear();
        c.log().clear(); // nothing left: announced once
        QCOMPARE(cleared.size(), 1);
        QVERIFY(c.log().entries().isEmpty());
        QCOMPARE(c.log().counters().rx, 0);
        QCOMPARE(c.log().counters().tx, 0);
    }
};

QTEST_GUILESS_MAIN(ControllerStateTest)
#include "test_controller_state.moc"

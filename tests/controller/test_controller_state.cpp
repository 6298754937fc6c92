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

    // Missing, bad or damaged values give the defaults, and nothing is written back.
    void badValuesGiveDefaults()
    {
        for (const QByteArray line :
             {"", "serialSettings=@ByteArray({)", "pollingInterval=0", "displaySeries=MX",
              "lastPortPath=simulator://smart",
              "serialSettings=17\npollingInterval=schnell\n"
              "displaySeries=@Variant(\\0\\0\\0\\x7f)\nlastPortPath=@Invalid()"}) {
            const QByteArray content = line.isEmpty() ? line : "[General]\n" + line + "\n";
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
    }

    // The controller announces what it keeps; the store's edge writes what changed (nothing
    // for an equal value), under the keys and in the forms a new controller starts from.
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
        other.baudRate = 9600;
        other.assertRTS = false;
        c.line().setSettings(other);
        f.setPolling(false, 2.5);
        c.display().setSeries(DisplaySeries::rx);
        c.line().setAutoReconnect(false);
        QCOMPARE(changed.size(), 4);
        const QString address = QStringLiteral("tcp://127.0.0.1:4001");
        f.connectTo(address); // the last port and the network addresses
        const ControllerSettings expected{
            other, address, false, 2.5, DisplaySeries::rx, false, QStringList{address}};
        QCOMPARE(c.storedSettings(), expected);
        QSettings& store = f.store.settings();
        QCOMPARE(store.allKeys(),
                 QStringList({"autoReconnect", "displaySeries", "lastPortPath", "pollingEnabled",
                              "pollingInterval", "recentNetworkAddresses", "serialSettings"}));
        QCOMPARE(store.value("displaySeries").toString(), QStringLiteral("RX"));
        QCOMPARE(store.value("serialSettings").toByteArray(), *other.toJson());
        QCOMPARE(ControllerSettings::load(store).problems, QStringList());

        f.scanner->unlist(address); // listed as a recent address only: chosen for the store
        DisplayController& restored = f.make();
        QCOMPARE(restored.storedSettings(), expected);
        QCOMPARE(restored.ports().selectedPath(), address);
    }

    void startupConnection()
    {
        using C = ConnectionState::Case;
        for (const auto& [autoReconnect, remembered, expected] :
             {std::tuple{true, "listed", C::connected},
              {false, "listed", C::disconnected},
              {true, "simulator://smart", C::disconnected}}) { // "listed" or a stored path
            ControllerFixture f;
            QString path = QString::fromUtf8(remembered);
            if (path == u"listed") {
                path = QStringLiteral("/dev/ttyUSB0");
                f.scanner->list(path);
            }
            f.store.settings().setValue("lastPortPath", path);
            f.store.settings().setValue("autoReconnect", autoReconnect);

            DisplayController& controller = f.make(true);
            // The connection is made after construction, never inside it.
            QVERIFY(!controller.line().connection().is(C::connected));
            f.clock->advance(10);
            QCOMPARE(controller.line().connection().state, expected);
            QCOMPARE(controller.line().wantedPath(),
                     expected == C::disconnected ? std::nullopt : std::optional(path));
            // Without the option nothing is connected, whatever is remembered.
            f.make(false);
            f.clock->advance(10);
            QCOMPARE(f.controller->line().connection(), ConnectionState::disconnected());
        }
    }

    // Bytes as the log shows them, and a line of the export.
    void entryTexts()
    {
        QCOMPARE(LogEntry::printable("Hi x\r\n"), QStringLiteral("Hi x␍␊"));
        QCOMPARE(LogEntry::printable(QByteArray("\x00\t\x7F\x80\xFF", 5)), QStringLiteral("·····"));
        QCOMPARE(LogEntry::printable("\xC3\xA4"), QStringLiteral("··")); // UTF-8: a dot a byte
        QCOMPARE(LogEntry::printable({}), QString());
        QCOMPARE(entry(Kind::tx, "get volume", "get volume\r").exportLine(),
                 "2026-12-05 14:03:22.105 → get volume  "
                 "[67 65 74 20 76 6F 6C 75 6D 65 0D]");
        QCOMPARE(entry(Kind::info, "Verbindung getrennt").exportLine(),
                 "2026-12-05 14:03:22.105 ℹ\uFE0E Verbindung getrennt");
    }

    // The export, then the cap: the oldest entry goes per new one, said so, never the whole log.
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
        QCOMPARE(c.log().proposedExportFileName(), "261205_1503_Bildwart_Terminal.txt");

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

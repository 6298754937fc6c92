// The traffic log: how an entry reads and is exported, and how the controller keeps its capped
// log and announces each change.
#include "ControllerFixture.h"
#include "controller/LogExport.h"

#include <QSignalSpy>
#include <ctime>

namespace {

// Entries keep UTC; the export shows local time (the test runs an hour east of UTC).
LogEntry entry(Kind kind, const QString& text, const QByteArray& bytes = {})
{
    return {QUuid::createUuid(), QDateTime(QDate(2026, 12, 5), QTime(13, 3, 22, 105), Qt::UTC),
            kind, text, bytes};
}

} // namespace

class LogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void printable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("line ends, blank")
            << QByteArray("Hi x\r\n") << QStringLiteral("Hi x\u240D\u240A");
        QTest::newRow("non-printables") << QByteArray("\x00\t\x7F\x80\xFF", 5)
                                        << QStringLiteral("\u00B7\u00B7\u00B7\u00B7\u00B7");
        QTest::newRow("utf-8 is two dots")
            << QByteArray("\xC3\xA4") << QStringLiteral("\u00B7\u00B7");
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
                                    << QStringLiteral("2026-12-05 14:03:22.105 \u2192 get volume  "
                                                      "[67 65 74 20 76 6F 6C 75 6D 65 0D]");
        QTest::newRow("without bytes")
            << entry(Kind::info, "Verbindung getrennt")
            << QStringLiteral("2026-12-05 14:03:22.105 \u2139\uFE0E Verbindung getrennt");
    }
    void exportLine()
    {
        QFETCH(LogEntry, entry);
        QFETCH(QString, expected);
        QCOMPARE(entry.exportLine(), expected);
    }

    void exportTextAndFile()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(promptOnly);
        c.clearLog();
        QCOMPARE(c.exportText(), QString());
        c.setRawMode(true);
        c.setRawMode(false);
        const QString text = c.exportText();
        QCOMPARE(text.count(u'\n'), 1);
        QVERIFY(text.endsWith(u'“'));
        // The name comes from the controller's clock, in local time.
        QCOMPARE(c.proposedExportFileName(), QStringLiteral("261205_1503_Bildwart_Terminal.txt"));

        // UTF-8, and a longer old file is replaced, not overwritten in part.
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QVERIFY(writeExportFile(path, "alt, viel l\u00E4nger als der neue Inhalt"));
        QVERIFY(writeExportFile(path, QStringLiteral("\u2192 \u00E4")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xE2\x86\x92 \xC3\xA4"));
        QVERIFY(writeExportFile(path, QString()));
        QCOMPARE(QFileInfo(path).size(), 0);
        QVERIFY(!writeExportFile(dir.filePath("missing/log.txt"), "x"));
    }

    // The cap drops the oldest entry per new one and says so, never the whole log; the
    // entries carry fresh ids and the clock's time.
    void capAndAnnouncements()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(promptOnly);
        c.setRawMode(true);
        c.clearLog();
        QSignalSpy appended(&c, &DisplayController::logAppended);
        QSignalSpy removed(&c, &DisplayController::logRemovedFromFront);
        QSignalSpy cleared(&c, &DisplayController::logCleared);
        for (int i = 0; i < LogBuffer::capacity; ++i)
            f.lines.receive(QByteArray::number(i));
        QCOMPARE(appended.size(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 0);
        f.clock->advance(1.5);
        f.lines.receive("neu");
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().first().toInt(), 1);
        QCOMPARE(c.log().size(), LogBuffer::capacity);
        QCOMPARE(c.log().at(0).text, QStringLiteral("1"));
        QCOMPARE(c.log().last().bytes, QByteArray("neu"));
        QVERIFY(c.log().at(0).id != c.log().at(1).id);
        QCOMPARE(c.log().at(0).date.msecsTo(c.log().last().date), 1500);

        c.clearLog();
        c.clearLog(); // nothing left: announced once
        QCOMPARE(cleared.size(), 1);
        QVERIFY(c.log().isEmpty());
        QCOMPARE(c.rxCount(), 0);
        QCOMPARE(c.txCount(), 0);
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "test_log.moc"

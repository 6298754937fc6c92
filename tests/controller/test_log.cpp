// The traffic log: how an entry reads and is exported, and how the controller keeps its capped
// log and announces each change.
#include "ControllerFixture.h"
#include "controller/LogExport.h"

#include <QSignalSpy>

namespace {

LogEntry entry(Kind kind, const QString& text, const QByteArray& bytes = {})
{
    return {QUuid::createUuid(), QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22, 105)), kind, text,
            bytes};
}

} // namespace

class LogTest : public QObject {
    Q_OBJECT

private slots:
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
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QCOMPARE(controller->exportText(), QString());
        controller->appendLog(Kind::info, "a");
        controller->appendLog(Kind::info, "b");
        const QString text = controller->exportText();
        QCOMPARE(text.count(u'\n'), 1);
        QVERIFY(text.endsWith(u'b'));
        // The name comes from the controller's clock.
        QCOMPARE(controller->proposedExportFileName(),
                 QStringLiteral("261205_1403_Bildwart_Terminal.txt"));

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

    void capKeepsTheNewestAndAnnouncesIncrementally()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy appended(controller.get(), &DisplayController::logAppended);
        QSignalSpy removed(controller.get(), &DisplayController::logRemovedFromFront);
        for (int i = 0; i < LogBuffer::capacity; ++i)
            controller->appendLog(Kind::info, QString::number(i));
        QCOMPARE(appended.size(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 0);

        controller->appendLog(Kind::error, "neu");
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().first().toInt(), 1);
        QCOMPARE(controller->log().size(), LogBuffer::capacity);
        QCOMPARE(controller->log().at(0).text, QStringLiteral("1"));
        QCOMPARE(controller->log().last().kind, Kind::error);
    }

    void entriesGetFreshIdsAndTheClocksTime()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.appendLog(Kind::tx, "a", "a\r");
        f.clock->advance(1.5);
        c.appendLog(Kind::tx, "a", "a\r");
        QVERIFY(c.log().at(0).id != c.log().at(1).id);
        QCOMPARE(c.log().at(0).date.msecsTo(c.log().at(1).date), 1500);
        QCOMPARE(c.log().at(1).bytes, QByteArray("a\r"));
    }

    void clearAnnouncesOnlyARealChange()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy cleared(controller.get(), &DisplayController::logCleared);
        QSignalSpy tx(controller.get(), &DisplayController::txCountChanged);
        controller->clearLog();
        QCOMPARE(cleared.size(), 0);
        controller->appendLog(Kind::info, "x");
        controller->clearLog();
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(tx.size(), 0); // the counter was 0 already
        QVERIFY(controller->log().isEmpty());
    }

    void rawModeLogsOnlyRealChanges()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy changed(controller.get(), &DisplayController::rawModeChanged);
        controller->setRawMode(false);
        controller->setRawMode(true);
        controller->setRawMode(true);
        controller->setRawMode(false);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(controller->log().size(), 2);
        QCOMPARE(controller->log().at(0).text,
                 QStringLiteral("Rohdaten-Modus: Eingaben gehen ungefiltert "
                                "hinaus, keine SMART-Abfragen"));
        QCOMPARE(controller->log().at(1).text,
                 QStringLiteral("SMART-Modus: Befehle warten auf den Prompt \u201E>\u201C"));
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "test_log.moc"

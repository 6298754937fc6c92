#include "controller/LogBuffer.h"
#include "controller/LogEntry.h"
#include "controller/LogExport.h"

#include <QTemporaryDir>
#include <QTest>

using Kind = LogEntry::Kind;

namespace {

const QDateTime sampleTime(QDate(2026, 12, 5), QTime(14, 3, 22, 105));

LogEntry entry(Kind kind, const QString& text, const QByteArray& bytes = {})
{
    return {QUuid::createUuid(), sampleTime, kind, text, bytes};
}

} // namespace

class LogEntryTest : public QObject {
    Q_OBJECT

private slots:
    void printable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hello") << QByteArray("Hello\r\n") << QStringLiteral("Hello\u240D\u240A");
        QTest::newRow("non-printables")
            << QByteArray("\x00\x7F\x80\xFF", 4) << QStringLiteral("\u00B7\u00B7\u00B7\u00B7");
        QTest::newRow("blank") << QByteArray(" ") << QStringLiteral(" ");
        QTest::newRow("utf-8 is two dots")
            << QByteArray("\xC3\xA4") << QStringLiteral("\u00B7\u00B7");
        QTest::newRow("tab") << QByteArray("\t") << QStringLiteral("\u00B7");
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
        QTest::newRow("tx with bytes")
            << entry(Kind::tx, "get volume", "get volume\r")
            << QStringLiteral("2026-12-05 14:03:22.105 \u2192 get volume  "
                              "[67 65 74 20 76 6F 6C 75 6D 65 0D]");
        QTest::newRow("info without bytes")
            << entry(Kind::info, "Verbindung getrennt")
            << QStringLiteral("2026-12-05 14:03:22.105 \u2139\uFE0E Verbindung getrennt");
        QTest::newRow("rx") << entry(Kind::rx, "\u240A", "\n")
                            << QStringLiteral("2026-12-05 14:03:22.105 \u2190 \u240A  [0A]");
        QTest::newRow("error") << entry(Kind::error, "x")
                               << QStringLiteral("2026-12-05 14:03:22.105 \u26A0\uFE0E x");
        QTest::newRow("async") << entry(Kind::async, "y")
                               << QStringLiteral("2026-12-05 14:03:22.105 \u26A1\uFE0E y");
    }
    void exportLine()
    {
        QFETCH(LogEntry, entry);
        QFETCH(QString, expected);
        QCOMPARE(entry.exportLine(), expected);
    }

    void capKeepsTheNewest()
    {
        LogBuffer log;
        for (int i = 0; i < LogBuffer::capacity; ++i)
            QCOMPARE(log.append(entry(Kind::info, QString::number(i))), 0);
        QCOMPARE(log.append(entry(Kind::info, "new")), 1);
        QCOMPARE(log.size(), LogBuffer::capacity);
        QCOMPARE(log.at(0).text, QStringLiteral("1"));
        QCOMPARE(log.last().text, QStringLiteral("new"));
    }

    void exportJoinsWithLineFeeds()
    {
        LogBuffer log;
        QCOMPARE(log.exportText(), QString());
        log.append(entry(Kind::info, "a"));
        log.append(entry(Kind::info, "b"));
        const QString text = log.exportText();
        QCOMPARE(text.count(u'\n'), 1);
        QVERIFY(text.endsWith(u'b'));
    }

    void proposedFileName()
    {
        QCOMPARE(proposedExportFileName(sampleTime),
                 QStringLiteral("261205_1403_Bildwart_Terminal.txt"));
    }

    void exportFileIsUtf8AndReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QVERIFY(writeExportFile(path, "alt, viel l\u00E4nger als der neue Inhalt"));
        QVERIFY(writeExportFile(path, QStringLiteral("\u2192 \u00E4")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xE2\x86\x92 \xC3\xA4"));
        QVERIFY(writeExportFile(path, QString()));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void exportToAMissingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY(!writeExportFile(dir.filePath("missing/log.txt"), "x"));
    }
};

QTEST_GUILESS_MAIN(LogEntryTest)
#include "test_log_entry.moc"

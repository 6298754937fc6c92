#include "diagnostics/TestPattern.h"

#include "serial/HexBytes.h"

#include <QLocale>
#include <QTest>

namespace {

using LineEnding = SerialSettings::LineEnding;
using D = SerialSettings::DataBits;
using P = SerialSettings::Parity;

// 14:03:22 in the test's local time zone.
QDateTime testTime()
{
    return QDateTime(QDate(2024, 1, 15), QTime(11, 3, 22), Qt::UTC);
}

SerialSettings line(LineEnding ending, qint64 baudRate = 19200, D dataBits = D::eight,
                    P parity = P::none)
{
    return {baudRate,
            dataBits,
            parity,
            SerialSettings::StopBits::one,
            SerialSettings::FlowControl::none,
            ending};
}

QByteArray ascending(int first, int last)
{
    QByteArray bytes;
    for (int value = first; value <= last; ++value)
        bytes.append(char(value));
    return bytes;
}

} // namespace

class TestTestPattern : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The counter and the baud rate must not pick up a German desktop's digit grouping.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // A fixed zone three hours east of UTC without daylight saving, so that the
        // local time does not depend on the machine's zone.
        qputenv("TZ", "XST-3");
    }

    void namesAndTexts()
    {
        QSet<QString> texts;
        for (TestPattern pattern : allTestPatterns()) {
            QCOMPARE(testPatternFromRaw(rawValue(pattern)), pattern);
            texts << label(pattern) << hint(pattern);
        }
        QCOMPARE(rawValue(TestPattern::counterLine), QStringLiteral("counterLine"));
        QCOMPARE(testPatternFromRaw(QStringLiteral("CounterLine")), std::nullopt);
        // Seven patterns, each with a label and a hint of its own.
        QCOMPARE(texts.size(), 14);
        QVERIFY(!texts.contains(QString()));
    }

    // The hint quotes a counter line; it must look exactly like one the generator writes.
    void counterLineHintShowsARealLine()
    {
        const QByteArray generated =
            testPatternBytes(TestPattern::counterLine, 1, line(LineEnding::lf), {}, {}, testTime());
        QCOMPARE(hint(TestPattern::counterLine),
                 QStringLiteral("„") + QString::fromUtf8(generated.chopped(1)) +
                     QStringLiteral("“ – zeigt fehlende Zeilen sofort."));
    }

    // Both examples the hint offers must be accepted when typed in.
    void customHexHintExamplesParse()
    {
        const QStringList examples = hint(TestPattern::customHex).split(u'„').mid(1);
        QCOMPARE(examples.size(), 2);
        QCOMPARE(parseHexBytes(examples.at(0).section(u'“', 0, 0)), QByteArray("Hallo\r\n"));
        QCOMPARE(parseHexBytes(examples.at(1).section(u'“', 0, 0)), QByteArray("Ha"));
    }

    void bytes_data()
    {
        using enum TestPattern;
        QTest::addColumn<TestPattern>("pattern");
        QTest::addColumn<qint64>("counter");
        QTest::addColumn<SerialSettings>("settings");
        QTest::addColumn<QString>("customText");
        QTest::addColumn<QString>("customHex");
        QTest::addColumn<QByteArray>("expected");

        const QString text = QStringLiteral("Hallo PuTTY – Bildwart");
        const QString hex = QStringLiteral("48 61 6C 6C 6F 0D 0A");
        const auto counter = [&](const char* tag, qint64 number, const SerialSettings& settings,
                                 const char* middle, const char* ending) {
            QTest::newRow(tag) << counterLine << number << settings << text << hex
                               << "Bildwart Test " + QByteArray(middle) + " | 14:03:22" + ending;
        };
        const auto fixed = [&](const char* tag, TestPattern pattern, LineEnding ending,
                               const QString& customText, const QString& customHex,
                               const QByteArray& expected) {
            QTest::newRow(tag) << pattern << qint64(1) << line(ending) << customText << customHex
                               << expected;
        };

        // The counter and the line's frame (the whole line: "Bildwart Test #…")
        counter("counter cr", 1, line(LineEnding::cr), "#0001 | 19200 8N1", "\r\n");
        counter("counter 10000", 10000, line(LineEnding::lf), "#10000 | 19200 8N1", "\n");
        counter("counter negative", -7, line(LineEnding::lf), "#-007 | 19200 8N1", "\n");
        counter("115200 5O1", 3, line(LineEnding::crlf, 115200, D::five, P::odd),
                "#0003 | 115200 5O1", "\r\n");

        fixed("alphabet cr", alphabet, LineEnding::cr, text, hex, ascending(0x20, 0x7E) + "\r\n");
        fixed("quickFox lf", quickFox, LineEnding::lf, text, hex,
              "The quick brown fox jumps over the lazy dog 0123456789\n");
        fixed("uPattern crlf", uPattern, LineEnding::crlf, text, hex, QByteArray(64, 'U') + "\r\n");
        fixed("byteRamp cr", byteRamp, LineEnding::cr, text, hex, ascending(0x00, 0xFF));
        fixed("customText utf-8", customText, LineEnding::cr, text, hex,
              "Hallo PuTTY \xE2\x80\x93 Bildwart\r\n");
        fixed("customText keeps its own ending", customText, LineEnding::lf, "a\r\nb", hex,
              "a\r\nb\n");
        fixed("customText empty", customText, LineEnding::cr, QString(), hex, "\r\n");
        // The hex grammar itself is checked in test_hex_bytes.
        fixed("customHex", customHex, LineEnding::cr, text, hex, "Hallo\r\n");
        fixed("customHex invalid", customHex, LineEnding::lf, text, "48 6G", {});
    }
    void bytes()
    {
        QFETCH(TestPattern, pattern);
        QFETCH(qint64, counter);
        QFETCH(SerialSettings, settings);
        QFETCH(QString, customText);
        QFETCH(QString, customHex);
        QFETCH(QByteArray, expected);
        const QByteArray bytes =
            testPatternBytes(pattern, counter, settings, customText, customHex, testTime());
        QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestTestPattern)
#include "test_test_pattern.moc"

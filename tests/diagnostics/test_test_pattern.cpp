#include "diagnostics/TestPattern.h"

#include "serial/HexBytes.h"

#include <QLocale>
#include <QTest>
#include <limits>

namespace {

using LineEnding = SerialSettings::LineEnding;

// A winter date, so that no daylight-saving change falls near the test times.
QDateTime localTime(int hours, int minutes, int seconds)
{
    return QDateTime(QDate(2024, 1, 15), QTime(hours, minutes, seconds), Qt::LocalTime);
}

SerialSettings line(qint64 baudRate, SerialSettings::DataBits dataBits,
                    SerialSettings::Parity parity, SerialSettings::StopBits stopBits,
                    LineEnding ending)
{
    SerialSettings settings;
    settings.baudRate = baudRate;
    settings.dataBits = dataBits;
    settings.parity = parity;
    settings.stopBits = stopBits;
    settings.lineEnding = ending;
    return settings;
}

SerialSettings standardLine(LineEnding ending)
{
    SerialSettings settings = SerialSettings::smartStandard();
    settings.lineEnding = ending;
    return settings;
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
    void initTestCase();
    void rawValues();
    void textsAreDistinct();
    void counterLineHintShowsARealLine();
    void customHexHintExamplesParse();
    void lineEnding_data();
    void lineEnding();
    void bytes_data();
    void bytes();
    void counterLineUsesLocalTime();
};

void TestTestPattern::initTestCase()
{
    // The counter and the baud rate must not pick up the digit grouping of a German desktop.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // A fixed zone three hours east of UTC without daylight saving, so that the local
    // time test does not depend on the machine's zone.
    qputenv("TZ", "XST-3");
}

void TestTestPattern::rawValues()
{
    const QStringList names{QStringLiteral("counterLine"), QStringLiteral("alphabet"),
                            QStringLiteral("quickFox"),    QStringLiteral("uPattern"),
                            QStringLiteral("byteRamp"),    QStringLiteral("customText"),
                            QStringLiteral("customHex")};
    QCOMPARE(allTestPatterns().size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const TestPattern pattern = allTestPatterns().at(i);
        QCOMPARE(rawValue(pattern), names.at(i));
        QCOMPARE(testPatternFromRaw(names.at(i)), pattern);
    }
    QCOMPARE(testPatternFromRaw(QStringLiteral("CounterLine")), std::nullopt);
    QCOMPARE(testPatternFromRaw(QString()), std::nullopt);
}

void TestTestPattern::textsAreDistinct()
{
    QSet<QString> labels;
    QSet<QString> hints;
    for (TestPattern pattern : allTestPatterns()) {
        QVERIFY(!label(pattern).isEmpty());
        QVERIFY(!hint(pattern).isEmpty());
        labels.insert(label(pattern));
        hints.insert(hint(pattern));
    }
    QCOMPARE(labels.size(), allTestPatterns().size());
    QCOMPARE(hints.size(), allTestPatterns().size());
}

// The hint quotes a counter line; it must look exactly like one the generator writes.
void TestTestPattern::counterLineHintShowsARealLine()
{
    const QByteArray generated = testPatternBytes(
        TestPattern::counterLine, 1, standardLine(LineEnding::lf), {}, {}, localTime(14, 3, 22));
    const QString quoted = QString::fromUtf8(generated.chopped(1));
    QCOMPARE(hint(TestPattern::counterLine),
             QStringLiteral("„") + quoted + QStringLiteral("“ – zeigt fehlende Zeilen sofort."));
}

// Both examples the hint offers must be accepted when typed in.
void TestTestPattern::customHexHintExamplesParse()
{
    const QString text = hint(TestPattern::customHex);
    const QStringList examples = text.split(u'„', Qt::SkipEmptyParts).mid(1);
    QCOMPARE(examples.size(), 2);
    QCOMPARE(parseHexBytes(examples.at(0).section(u'“', 0, 0)), QByteArray("Hallo\r\n"));
    QCOMPARE(parseHexBytes(examples.at(1).section(u'“', 0, 0)), QByteArray("Ha"));
}

void TestTestPattern::lineEnding_data()
{
    QTest::addColumn<LineEnding>("ending");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("cr widened") << LineEnding::cr << QByteArray("\r\n");
    QTest::newRow("lf") << LineEnding::lf << QByteArray("\n");
    QTest::newRow("crlf") << LineEnding::crlf << QByteArray("\r\n");
}

void TestTestPattern::lineEnding()
{
    QFETCH(LineEnding, ending);
    QFETCH(QByteArray, expected);
    QCOMPARE(testLineEnding(ending), expected);
}

void TestTestPattern::bytes_data()
{
    using enum TestPattern;
    using D = SerialSettings::DataBits;
    using P = SerialSettings::Parity;
    using S = SerialSettings::StopBits;

    QTest::addColumn<TestPattern>("pattern");
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<SerialSettings>("settings");
    QTest::addColumn<QString>("customText");
    QTest::addColumn<QString>("customHex");
    QTest::addColumn<QByteArray>("expected");

    const QString text = QStringLiteral("Hallo PuTTY – Bildwart");
    const QString hex = QStringLiteral("48 61 6C 6C 6F 0D 0A");
    const auto counter = [&](const char* tag, qint64 number, const SerialSettings& settings,
                             const char* expected) {
        QTest::newRow(tag) << counterLine << number << settings << text << hex
                           << QByteArray(expected);
    };
    const auto fixed = [&](const char* tag, TestPattern pattern, LineEnding ending,
                           const QString& customText, const QString& customHex,
                           const QByteArray& expected) {
        QTest::newRow(tag) << pattern << qint64(1) << standardLine(ending) << customText
                           << customHex << expected;
    };

    counter("counter cr", 1, standardLine(LineEnding::cr),
            "Bildwart Test #0001 | 19200 8N1 | 14:03:22\r\n");
    counter("counter lf", 1, standardLine(LineEnding::lf),
            "Bildwart Test #0001 | 19200 8N1 | 14:03:22\n");
    counter("counter crlf", 1, standardLine(LineEnding::crlf),
            "Bildwart Test #0001 | 19200 8N1 | 14:03:22\r\n");
    counter("counter 0", 0, standardLine(LineEnding::lf),
            "Bildwart Test #0000 | 19200 8N1 | 14:03:22\n");
    counter("counter 9999", 9999, standardLine(LineEnding::lf),
            "Bildwart Test #9999 | 19200 8N1 | 14:03:22\n");
    counter("counter 10000", 10000, standardLine(LineEnding::lf),
            "Bildwart Test #10000 | 19200 8N1 | 14:03:22\n");
    counter("counter negative", -7, standardLine(LineEnding::lf),
            "Bildwart Test #-007 | 19200 8N1 | 14:03:22\n");
    counter("counter minimum", std::numeric_limits<qint64>::min(), standardLine(LineEnding::lf),
            "Bildwart Test #-9223372036854775808 | 19200 8N1 | 14:03:22\n");
    counter("9600 7E2", 42, line(9600, D::seven, P::even, S::two, LineEnding::cr),
            "Bildwart Test #0042 | 9600 7E2 | 14:03:22\r\n");
    counter("115200 5O1", 3, line(115200, D::five, P::odd, S::one, LineEnding::crlf),
            "Bildwart Test #0003 | 115200 5O1 | 14:03:22\r\n");

    const QByteArray printable = ascending(0x20, 0x7E);
    fixed("alphabet cr", alphabet, LineEnding::cr, text, hex, printable + "\r\n");
    const QByteArray fox("The quick brown fox jumps over the lazy dog 0123456789");
    fixed("quickFox lf", quickFox, LineEnding::lf, text, hex, fox + "\n");
    fixed("uPattern crlf", uPattern, LineEnding::crlf, text, hex, QByteArray(64, 'U') + "\r\n");
    fixed("byteRamp cr", byteRamp, LineEnding::cr, text, hex, ascending(0x00, 0xFF));

    fixed("customText utf-8", customText, LineEnding::cr, text, hex,
          QByteArray("Hallo PuTTY \xE2\x80\x93 Bildwart\r\n"));
    fixed("customText keeps its own ending", customText, LineEnding::lf, QStringLiteral("a\r\nb"),
          hex, QByteArray("a\r\nb\n"));
    fixed("customText empty cr", customText, LineEnding::cr, QString(), hex, "\r\n");
    fixed("customText empty lf", customText, LineEnding::lf, QString(), hex, "\n");

    fixed("customHex default", customHex, LineEnding::cr, text, hex, "Hallo\r\n");
    fixed("customHex prefixed", customHex, LineEnding::crlf, text, QStringLiteral("0x48,0x61"),
          "Ha");
    fixed("customHex invalid", customHex, LineEnding::lf, text, QStringLiteral("48 6G"), {});
    fixed("customHex empty", customHex, LineEnding::cr, text, QString(), {});
    fixed("customHex blanks", customHex, LineEnding::cr, text, QStringLiteral("  "), {});
}

void TestTestPattern::bytes()
{
    QFETCH(TestPattern, pattern);
    QFETCH(qint64, counter);
    QFETCH(SerialSettings, settings);
    QFETCH(QString, customText);
    QFETCH(QString, customHex);
    QFETCH(QByteArray, expected);

    const QByteArray bytes =
        testPatternBytes(pattern, counter, settings, customText, customHex, localTime(14, 3, 22));
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

void TestTestPattern::counterLineUsesLocalTime()
{
    const QDateTime utc(QDate(2024, 1, 15), QTime(11, 3, 22), Qt::UTC);
    const QByteArray bytes =
        testPatternBytes(TestPattern::counterLine, 5, standardLine(LineEnding::lf), {}, {}, utc);
    QCOMPARE(bytes, QByteArray("Bildwart Test #0005 | 19200 8N1 | 14:03:22\n"));
}

QTEST_GUILESS_MAIN(TestTestPattern)
#include "test_test_pattern.moc"

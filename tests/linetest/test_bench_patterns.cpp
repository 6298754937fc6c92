#include "linetest/LoopbackStats.h"
#include "linetest/TestPattern.h"
#include "protocol/HexBytes.h"

#include <QLocale>
#include <QTest>
#include <limits>

using Result = LoopbackStats::Result;

// Readable failures for verdicts; found by QCOMPARE through argument-dependent lookup.
char* toString(const Result& result)
{
    return qstrdup(qPrintable(result.text(0, 0)));
}

namespace {
using LineEnding = SerialSettings::LineEnding;
using D = SerialSettings::DataBits;
using P = SerialSettings::Parity;
using B = SerialSettings::StopBits;
using F = SerialSettings::FlowControl;

// 14:03:22 in the test's local time zone.
QDateTime testTime()
{
    return QDateTime(QDate(2024, 1, 15), QTime(11, 3, 22), Qt::UTC);
}

SerialSettings line(LineEnding ending, qint64 baudRate = 19200, D dataBits = D::eight,
                    P parity = P::none)
{
    return {baudRate, dataBits, parity, B::one, F::none, ending};
}

QByteArray ascending(int first, int last)
{
    QByteArray bytes;
    for (int value = first; value <= last; ++value)
        bytes.append(char(value));
    return bytes;
}

QByteArray withByteChanged(QByteArray bytes, qsizetype index)
{
    bytes[index] = char(bytes.at(index) ^ 0x01);
    return bytes;
}

QByteArray body(const QByteArray& packet)
{
    return packet.sliced(6, packet.size() - 8);
}

constexpr qint64 minimum = std::numeric_limits<qint64>::min();
constexpr qint64 maximum = std::numeric_limits<qint64>::max();

} // namespace

// What the serial-line bench sends: terminal test patterns, loopback packets and verdicts.
class TestBenchPatterns : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Counters, rates and byte counts must not pick up a German desktop's digit grouping.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // Three hours east of UTC without daylight saving, whatever the machine's zone.
        qputenv("TZ", "XST-3");
    }

    void namesAndHints()
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

        // The counter line's hint quotes a line exactly as the generator writes it; both
        // examples of the custom hex hint are accepted when typed in.
        const QByteArray generated =
            testPatternBytes(TestPattern::counterLine, 1, line(LineEnding::lf), {}, {}, testTime());
        QCOMPARE(hint(TestPattern::counterLine),
                 QStringLiteral("„") + QString::fromUtf8(generated.chopped(1)) +
                     QStringLiteral("“ – zeigt fehlende Zeilen sofort."));
        const QStringList examples = hint(TestPattern::customHex).split(u'„').mid(1);
        QCOMPARE(examples.size(), 2);
        QCOMPARE(parseHexBytes(examples.at(0).section(u'“', 0, 0)), QByteArray("Hallo\r\n"));
        QCOMPARE(parseHexBytes(examples.at(1).section(u'“', 0, 0)), QByteArray("Ha"));
    }

    void patternBytes_data()
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
        counter("counter negative, 7E1", -7, line(LineEnding::lf, 19200, D::seven, P::even),
                "#-007 | 19200 7E1", "\n");
        counter("115200 5O1", 3, line(LineEnding::crlf, 115200, D::five, P::odd),
                "#0003 | 115200 5O1", "\r\n");

        fixed("alphabet cr", alphabet, LineEnding::cr, text, hex, ascending(0x20, 0x7E) + "\r\n");
        fixed("quickFox lf", quickFox, LineEnding::lf, text, hex,
              "The quick brown fox jumps over the lazy dog 0123456789\n");
        fixed("uPattern crlf", uPattern, LineEnding::crlf, text, hex, QByteArray(64, 'U') + "\r\n");
        fixed("byteRamp cr", byteRamp, LineEnding::cr, text, hex, ascending(0x00, 0xFF));
        fixed("customText utf-8", customText, LineEnding::cr, text, hex,
              "Hallo PuTTY \xE2\x80\x93 Bildwart\r\n");
        // The hex grammar itself is checked in test_serial_settings.
        fixed("customHex", customHex, LineEnding::cr, text, hex, "Hallo\r\n");
        fixed("customHex invalid", customHex, LineEnding::lf, text, "48 6G", {});
    }
    void patternBytes()
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

    // Sequence numbers wrap at 10000; the body runs on through the alphabet and digits.
    void packet()
    {
        const auto packet = [](qint64 sequence, qint64 size) {
            return QString::fromLatin1(LoopbackStats::packet(sequence, size));
        };
        QCOMPARE(packet(1, minimum), "<0001>\r\n");
        QCOMPARE(packet(1, 46), "<0001>BCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABC\r\n");
        QCOMPARE(packet(10001, 12), "<0001>3456\r\n");
        QCOMPARE(packet(-1, 12), "<9999>9ABC\r\n");
        QCOMPARE(packet(minimum, 12), "<4192>2345\r\n");
        for (const qint64 size :
             {LoopbackStats::maxPacketSize, LoopbackStats::maxPacketSize + 1, maximum}) {
            const QString bounded = packet(7, size);
            QCOMPARE(bounded.size(), LoopbackStats::maxPacketSize);
            QVERIFY(bounded.startsWith("<0007>HIJ") && bounded.endsWith("\r\n"));
        }
    }

    // A stale echo of the previous packet must never pass for the current one.
    void neighbouringPacketsDifferInEveryBodyByte()
    {
        for (qint64 sequence = 1; sequence <= 40; ++sequence) {
            const QByteArray current = body(LoopbackStats::packet(sequence, 64));
            const QByteArray next = body(LoopbackStats::packet(sequence + 1, 64));
            for (qsizetype i = 0; i < current.size(); ++i)
                QVERIFY2(current.at(i) != next.at(i), qPrintable(QString::number(sequence)));
            QCOMPARE(body(LoopbackStats::packet(sequence + 36, 64)), current);
        }
    }

    // Verdicts on an echo, and how they read.
    void evaluate()
    {
        const QByteArray sent = LoopbackStats::packet(1, 32);
        const auto verdict = [&](const QByteArray& received) {
            return LoopbackStats::evaluate(sent, received);
        };
        QCOMPARE(verdict(sent), Result::ok());
        QCOMPARE(verdict({}), Result::lost());
        QCOMPARE(verdict(sent.first(20)), Result::incomplete());
        QCOMPARE(verdict(sent + 'X'), Result::extra());
        QCOMPARE(verdict(withByteChanged(sent, 31)), Result::corrupt(31));
        QCOMPARE(verdict(withByteChanged(sent, 3).first(10)), Result::corrupt(3));  // and short
        QCOMPARE(verdict(withByteChanged(sent, 20) + "\r\n"), Result::corrupt(20)); // and long

        QCOMPARE(Result::corrupt(4).text(32, 32),
                 "Byte 5 verfälscht – Baudrate/Parität/Masse prüfen");
        QCOMPARE(Result::ok().text(32, 32), QStringLiteral("in Ordnung"));
        // Lost and extra: in the controller's log (test_commands).
        QCOMPARE(Result::incomplete().text(3200, 2000), "nur 2000 von 3200 Bytes zurück");
    }

    // Counters for every verdict; the latencies of correct packets only.
    void record()
    {
        const Result ok = Result::ok();
        const QList<Result> results{
            ok, ok, Result::lost(), Result::incomplete(), ok, Result::corrupt(9)};
        const QList<double> latencies{0.05, 0.02, 0.9, 0.001, 0.04, 2.0};
        LoopbackStats stats;
        for (qsizetype i = 0; i < results.size(); ++i)
            stats.record(results.at(i), latencies.at(i));
        // sent, ok, lost, faulty, bytes sent and received, last, min and max latency, verdict
        const LoopbackStats expected{6, 3, 1, 2, 0, 0, 0.04, 0.02, 0.05, Result::corrupt(9)};
        QVERIFY(stats == expected);
        QCOMPARE(stats.summary(), "6 Pakete, 3 in Ordnung, 2 fehlerhaft, 1 verloren");
    }
};

QTEST_GUILESS_MAIN(TestBenchPatterns)
#include "test_bench_patterns.moc"

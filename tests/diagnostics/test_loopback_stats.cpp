#include "diagnostics/LoopbackStats.h"

#include <QTest>
#include <limits>

using Result = LoopbackStats::Result;

// Readable failures for verdicts; found by QCOMPARE through argument-dependent lookup.
char* toString(const Result& result)
{
    static const char* const names[] = {"ok", "lost", "incomplete", "extra", "corrupt"};
    QByteArray text = names[static_cast<int>(result.kind())];
    if (result.kind() == Result::Kind::corrupt)
        text += "(at: " + QByteArray::number(result.index()) + ')';
    return qstrdup(text.constData());
}

namespace {

QByteArray withByteChanged(QByteArray bytes, qsizetype index)
{
    bytes[index] = char(bytes.at(index) ^ 0x01);
    return bytes;
}

QByteArray body(const QByteArray& packet)
{
    return packet.sliced(6, packet.size() - 8);
}

} // namespace

class TestLoopbackStats : public QObject {
    Q_OBJECT

private slots:
    void packet_data();
    void packet();
    void packetSizeIsBounded_data();
    void packetSizeIsBounded();
    void neighbouringPacketsDifferInEveryBodyByte();
    void evaluate_data();
    void evaluate();
    void resultEquality();
    void resultText_data();
    void resultText();
    void record_data();
    void record();
};

void TestLoopbackStats::packet_data()
{
    QTest::addColumn<qint64>("sequence");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("expected");

    const auto row = [](const char* tag, qint64 sequence, qint64 size, const char* expected) {
        QTest::newRow(tag) << sequence << size << QByteArray(expected);
    };
    row("size 8", 1, 8, "<0001>\r\n");
    row("size 7", 1, 7, "<0001>\r\n");
    row("size 0", 1, 0, "<0001>\r\n");
    row("size negative", 1, -100, "<0001>\r\n");
    row("size minimum", 1, std::numeric_limits<qint64>::min(), "<0001>\r\n");
    row("size 9", 1, 9, "<0001>B\r\n");
    row("size 16", 1, 16, "<0001>BCDEFGHI\r\n");
    row("next packet", 2, 16, "<0002>CDEFGHIJ\r\n");
    row("size 32", 1, 32, "<0001>BCDEFGHIJKLMNOPQRSTUVWXY\r\n");
    row("body wraps", 1, 46, "<0001>BCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABC\r\n");
    row("packet 0", 0, 12, "<0000>ABCD\r\n");
    row("packet 35", 35, 12, "<0035>9ABC\r\n");
    row("packet 37 like 1", 37, 16, "<0037>BCDEFGHI\r\n");
    row("packet 9999", 9999, 8, "<9999>\r\n");
    row("packet 10000", 10000, 8, "<0000>\r\n");
    row("packet 10001", 10001, 12, "<0001>3456\r\n");
    row("negative sequence", -1, 12, "<9999>9ABC\r\n");
    row("negative sequence 37", -37, 12, "<9963>9ABC\r\n");
    row("sequence minimum", std::numeric_limits<qint64>::min(), 12, "<4192>2345\r\n");
    row("sequence maximum", std::numeric_limits<qint64>::max(), 12, "<5807>HIJK\r\n");
}

void TestLoopbackStats::packet()
{
    QFETCH(qint64, sequence);
    QFETCH(qint64, size);
    QFETCH(QByteArray, expected);
    QCOMPARE(LoopbackStats::packet(sequence, size), expected);
}

void TestLoopbackStats::packetSizeIsBounded_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("expectedLength");
    QTest::newRow("largest offered") << qint64(512) << qint64(512);
    QTest::newRow("at the bound") << LoopbackStats::maxPacketSize << LoopbackStats::maxPacketSize;
    QTest::newRow("one above") << LoopbackStats::maxPacketSize + 1 << LoopbackStats::maxPacketSize;
    QTest::newRow("absurd") << std::numeric_limits<qint64>::max() << LoopbackStats::maxPacketSize;
}

void TestLoopbackStats::packetSizeIsBounded()
{
    QFETCH(qint64, size);
    QFETCH(qint64, expectedLength);
    const QByteArray packet = LoopbackStats::packet(7, size);
    QCOMPARE(packet.size(), expectedLength);
    QVERIFY(packet.startsWith("<0007>HIJ"));
    QVERIFY(packet.endsWith("\r\n"));
    QVERIFY(!body(packet).contains('\r'));
}

// A stale echo of the previous packet must never pass for the current one.
void TestLoopbackStats::neighbouringPacketsDifferInEveryBodyByte()
{
    for (qint64 sequence = 1; sequence <= 40; ++sequence) {
        const QByteArray current = body(LoopbackStats::packet(sequence, 64));
        const QByteArray next = body(LoopbackStats::packet(sequence + 1, 64));
        for (qsizetype i = 0; i < current.size(); ++i)
            QVERIFY2(current.at(i) != next.at(i), qPrintable(QString::number(sequence)));
        QCOMPARE(body(LoopbackStats::packet(sequence + 36, 64)), current);
    }
}

void TestLoopbackStats::evaluate_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<Result>("expected");

    const QByteArray sent = LoopbackStats::packet(1, 32);
    QTest::newRow("identical") << sent << sent << Result::ok();
    QTest::newRow("nothing back") << sent << QByteArray() << Result::lost();
    QTest::newRow("first 20 bytes") << sent << sent.first(20) << Result::incomplete();
    QTest::newRow("one byte more") << sent << sent + 'X' << Result::extra();
    QTest::newRow("twice") << sent << sent + sent << Result::extra();
    QTest::newRow("fifth byte changed") << sent << withByteChanged(sent, 4) << Result::corrupt(4);
    QTest::newRow("first byte changed") << sent << withByteChanged(sent, 0) << Result::corrupt(0);
    QTest::newRow("last byte changed") << sent << withByteChanged(sent, 31) << Result::corrupt(31);
    QTest::newRow("short and wrong")
        << sent << withByteChanged(sent, 3).first(10) << Result::corrupt(3);
    QTest::newRow("long and wrong") << sent << withByteChanged(sent, 20) + "\r\n"
                                    << Result::corrupt(20);
    QTest::newRow("echo of previous packet")
        << sent << LoopbackStats::packet(0, 32) << Result::corrupt(4);
    QTest::newRow("empty packet, bytes back") << QByteArray() << sent << Result::extra();
    QTest::newRow("empty packet, nothing back") << QByteArray() << QByteArray() << Result::lost();
}

void TestLoopbackStats::evaluate()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, received);
    QFETCH(Result, expected);
    QCOMPARE(LoopbackStats::evaluate(sent, received), expected);
}

void TestLoopbackStats::resultEquality()
{
    QCOMPARE(Result::corrupt(4), Result::corrupt(4));
    QVERIFY(Result::corrupt(4) != Result::corrupt(5));
    QVERIFY(Result::corrupt(0) != Result::ok());
    QVERIFY(Result::incomplete() != Result::extra());
    QCOMPARE(Result::corrupt(7).index(), qsizetype(7));
}

void TestLoopbackStats::resultText_data()
{
    QTest::addColumn<Result>("result");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<qint64>("received");
    QTest::addColumn<QString>("text");

    QTest::newRow("corrupt") << Result::corrupt(4) << qint64(32) << qint64(32)
                             << QStringLiteral("Byte 5 verfälscht – Baudrate/Parität/Masse prüfen");
    QTest::newRow("corrupt first")
        << Result::corrupt(0) << qint64(8) << qint64(3)
        << QStringLiteral("Byte 1 verfälscht – Baudrate/Parität/Masse prüfen");
    QTest::newRow("ok") << Result::ok() << qint64(32) << qint64(32) << QStringLiteral("in Ordnung");
    QTest::newRow("lost") << Result::lost() << qint64(32) << qint64(0)
                          << QStringLiteral("nichts zurück – Brücke/Kabel/Adapter prüfen");
    QTest::newRow("incomplete") << Result::incomplete() << qint64(32) << qint64(20)
                                << QStringLiteral("nur 20 von 32 Bytes zurück");
    QTest::newRow("extra") << Result::extra() << qint64(32) << qint64(33)
                           << QStringLiteral("33 statt 32 Bytes zurück");
}

void TestLoopbackStats::resultText()
{
    QFETCH(Result, result);
    QFETCH(qint64, expected);
    QFETCH(qint64, received);
    QFETCH(QString, text);
    // Numbers are plain decimals, never grouped by the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(result.text(expected, received), text);
}

void TestLoopbackStats::record_data()
{
    QTest::addColumn<QList<Result>>("results");
    QTest::addColumn<QList<double>>("latencies");
    QTest::addColumn<LoopbackStats>("expected");
    QTest::addColumn<QString>("summary");

    // Counters in field order, then last, min and max latency and the last verdict.
    const auto stats = [](qint64 sent, qint64 ok, qint64 lost, qint64 faulty,
                          std::optional<double> last, std::optional<double> min,
                          std::optional<double> max, std::optional<Result> lastResult) {
        LoopbackStats value;
        value.sent = sent;
        value.ok = ok;
        value.lost = lost;
        value.faulty = faulty;
        value.lastLatency = last;
        value.minLatency = min;
        value.maxLatency = max;
        value.lastResult = lastResult;
        return value;
    };
    const auto ok = Result::ok();

    QTest::newRow("fresh") << QList<Result>() << QList<double>() << LoopbackStats()
                           << QStringLiteral("0 Pakete, 0 in Ordnung, 0 fehlerhaft, 0 verloren");
    QTest::newRow("ten correct") << QList<Result>(10, ok)
                                 << QList<double>{0.020, 0.015, 0.031, 0.008, 0.009,
                                                  0.030, 0.011, 0.025, 0.010, 0.012}
                                 << stats(10, 10, 0, 0, 0.012, 0.008, 0.031, ok)
                                 << QStringLiteral(
                                        "10 Pakete, 10 in Ordnung, 0 fehlerhaft, 0 verloren");
    QTest::newRow("lost keeps latency")
        << QList<Result>{ok, Result::lost()} << QList<double>{0.05, 0.3}
        << stats(2, 1, 1, 0, 0.05, 0.05, 0.05, Result::lost())
        << QStringLiteral("2 Pakete, 1 in Ordnung, 0 fehlerhaft, 1 verloren");
    QTest::newRow("faulty without latency")
        << QList<Result>{Result::corrupt(2), Result::incomplete(), Result::extra()}
        << QList<double>{0.01, 0.02, 0.03}
        << stats(3, 0, 0, 3, std::nullopt, std::nullopt, std::nullopt, Result::extra())
        << QStringLiteral("3 Pakete, 0 in Ordnung, 3 fehlerhaft, 0 verloren");
    QTest::newRow("min and max over correct packets")
        << QList<Result>{ok, ok, Result::lost(), Result::incomplete(), ok, Result::corrupt(9)}
        << QList<double>{0.05, 0.02, 0.9, 0.001, 0.04, 2.0}
        << stats(6, 3, 1, 2, 0.04, 0.02, 0.05, Result::corrupt(9))
        << QStringLiteral("6 Pakete, 3 in Ordnung, 2 fehlerhaft, 1 verloren");
}

void TestLoopbackStats::record()
{
    QFETCH(QList<Result>, results);
    QFETCH(QList<double>, latencies);
    QFETCH(LoopbackStats, expected);
    QFETCH(QString, summary);

    LoopbackStats stats;
    for (qsizetype i = 0; i < results.size(); ++i)
        stats.record(results.at(i), latencies.at(i));

    QCOMPARE(stats.lastLatency, expected.lastLatency);
    QCOMPARE(stats.minLatency, expected.minLatency);
    QCOMPARE(stats.maxLatency, expected.maxLatency);
    QCOMPARE(stats.lastResult, expected.lastResult);
    QCOMPARE(stats.summary(), summary);
    QVERIFY(stats == expected);
}

QTEST_GUILESS_MAIN(TestLoopbackStats)
#include "test_loopback_stats.moc"

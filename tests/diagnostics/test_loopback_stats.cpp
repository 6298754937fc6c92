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

constexpr qint64 minimum = std::numeric_limits<qint64>::min();
constexpr qint64 maximum = std::numeric_limits<qint64>::max();

} // namespace

class TestLoopbackStats : public QObject {
    Q_OBJECT

private slots:
    void packet_data()
    {
        QTest::addColumn<qint64>("sequence");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* tag, qint64 sequence, qint64 size, const char* expected) {
            QTest::newRow(tag) << sequence << size << QByteArray(expected);
        };
        row("size minimum", 1, minimum, "<0001>\r\n");
        row("size 9", 1, 9, "<0001>B\r\n");
        row("body wraps", 1, 46, "<0001>BCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABC\r\n");
        row("packet 35", 35, 12, "<0035>9ABC\r\n");
        row("packet 10001", 10001, 12, "<0001>3456\r\n");
        row("negative sequence", -1, 12, "<9999>9ABC\r\n");
        row("sequence minimum", minimum, 12, "<4192>2345\r\n");
    }
    void packet()
    {
        QFETCH(qint64, sequence);
        QFETCH(qint64, size);
        QFETCH(QByteArray, expected);
        QCOMPARE(LoopbackStats::packet(sequence, size), expected);
    }

    void packetSizeIsBounded()
    {
        for (const qint64 size :
             {LoopbackStats::maxPacketSize, LoopbackStats::maxPacketSize + 1, maximum}) {
            const QByteArray packet = LoopbackStats::packet(7, size);
            QCOMPARE(packet.size(), LoopbackStats::maxPacketSize);
            QVERIFY(packet.startsWith("<0007>HIJ"));
            QVERIFY(packet.endsWith("\r\n"));
            QVERIFY(!body(packet).contains('\r'));
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

    void evaluate_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<Result>("expected");
        const QByteArray sent = LoopbackStats::packet(1, 32);
        const auto row = [&](const char* tag, const QByteArray& received, const Result& result) {
            QTest::newRow(tag) << sent << received << result;
        };
        row("identical", sent, Result::ok());
        row("nothing back", {}, Result::lost());
        row("first 20 bytes", sent.first(20), Result::incomplete());
        row("one byte more", sent + 'X', Result::extra());
        row("last byte changed", withByteChanged(sent, 31), Result::corrupt(31));
        row("short and wrong", withByteChanged(sent, 3).first(10), Result::corrupt(3));
        row("long and wrong", withByteChanged(sent, 20) + "\r\n", Result::corrupt(20));
        QTest::newRow("empty packet, bytes back") << QByteArray() << sent << Result::extra();
    }
    void evaluate()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, received);
        QFETCH(Result, expected);
        QCOMPARE(LoopbackStats::evaluate(sent, received), expected);
    }

    void resultText()
    {
        // Numbers are plain decimals, never grouped by the user's locale.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(Result::corrupt(4).text(32, 32),
                 QStringLiteral("Byte 5 verfälscht – Baudrate/Parität/Masse prüfen"));
        QCOMPARE(Result::ok().text(32, 32), QStringLiteral("in Ordnung"));
        QCOMPARE(Result::lost().text(32, 0),
                 QStringLiteral("nichts zurück – Brücke/Kabel/Adapter prüfen"));
        QCOMPARE(Result::incomplete().text(3200, 2000),
                 QStringLiteral("nur 2000 von 3200 Bytes zurück"));
        QCOMPARE(Result::extra().text(32, 33), QStringLiteral("33 statt 32 Bytes zurück"));
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
        QCOMPARE(stats.lastResult, expected.lastResult);
        QVERIFY(stats == expected);
        QCOMPARE(stats.summary(),
                 QStringLiteral("6 Pakete, 3 in Ordnung, 2 fehlerhaft, 1 verloren"));
    }
};

QTEST_GUILESS_MAIN(TestLoopbackStats)
#include "test_loopback_stats.moc"

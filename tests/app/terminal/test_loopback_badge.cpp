// The loopback bar's verdict and delay texts.
#include "app/terminal/LoopbackBadge.h"

#include <QTest>

using Tone = LoopbackBadge::Tone;
Q_DECLARE_METATYPE(Tone)
Q_DECLARE_METATYPE(std::optional<double>)

class LoopbackBadgeTest : public QObject {
    Q_OBJECT

private slots:
    void verdict_data()
    {
        QTest::addColumn<int>("ok");
        QTest::addColumn<int>("lost");
        QTest::addColumn<int>("faulty");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<Tone>("tone");
        struct Row {
            const char* tag;
            int ok, lost, faulty;
            const char* text;
            const char* symbol;
            Tone tone;
        };
        const Row rows[] = {
            {"before the first packet", 0, 0, 0, "bereit", "circle.dashed", Tone::secondary},
            {"all back", 5, 0, 0, "Daten kommen an", "checkmark.circle.fill", Tone::green},
            {"nothing back", 0, 4, 0, "nichts zur\u00FCck", "xmark.octagon.fill", Tone::red},
            {"3 good, 1 lost", 3, 1, 0, "75 % in Ordnung", "exclamationmark.triangle.fill",
             Tone::orange},
            {"29 of 100 stays 29", 29, 71, 0, "29 % in Ordnung", "exclamationmark.triangle.fill",
             Tone::orange},
            {"only faulty", 0, 0, 3, "0 % in Ordnung", "exclamationmark.triangle.fill",
             Tone::orange},
        };
        for (const Row& r : rows)
            QTest::newRow(r.tag) << r.ok << r.lost << r.faulty << QString(r.text)
                                 << QString(r.symbol) << r.tone;
    }
    void verdict()
    {
        QFETCH(int, ok);
        QFETCH(int, lost);
        QFETCH(int, faulty);
        QFETCH(QString, text);
        QFETCH(QString, symbol);
        QFETCH(Tone, tone);
        LoopbackStats stats;
        stats.ok = ok;
        stats.lost = lost;
        stats.faulty = faulty;
        stats.sent = ok + lost + faulty;
        const LoopbackBadge badge = LoopbackBadge::of(stats);
        QCOMPARE(badge.text, text);
        QCOMPARE(badge.symbol, symbol);
        QCOMPARE(badge.tone, tone);
    }

    void latency_data()
    {
        QTest::addColumn<std::optional<double>>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("none yet") << std::optional<double>() << "\u2013";
        QTest::newRow("cut, not rounded") << std::optional(0.0126) << "12 ms";
        QTest::newRow("whole millisecond") << std::optional(0.029) << "29 ms";
        QTest::newRow("below one") << std::optional(0.0004) << "0 ms";
    }
    void latency()
    {
        using Seconds = std::optional<double>;
        QFETCH(Seconds, seconds);
        QFETCH(QString, text);
        QCOMPARE(loopbackLatencyText(seconds), text);
    }
};

QTEST_MAIN(LoopbackBadgeTest)
#include "test_loopback_badge.moc"

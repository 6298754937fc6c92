#include "protocol/SmartParser.h"

#include <QTest>

using Events = QList<SmartEvent>;

namespace {

SmartEvent value(const QString& n, const QString& v)
{
    return SmartEvent::makeValue(n, v);
}
SmartEvent async(const QString& n, const QString& v)
{
    return SmartEvent::makeAsync(n, v);
}
SmartEvent text(const QString& l)
{
    return SmartEvent::makeText(l);
}
SmartEvent prompt()
{
    return SmartEvent::makePrompt();
}

Events feedAll(const QList<QByteArray>& chunks)
{
    SmartParser parser;
    Events events;
    for (const QByteArray& chunk : chunks)
        events += parser.feed(chunk);
    return events;
}

} // namespace

class SmartParserTest : public QObject {
    Q_OBJECT

private slots:
    void events_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Events>("expected");
        QTest::newRow("reply and prompt")
            << QByteArray("volume=40\r\n>") << Events{value("volume", "40"), prompt()};
        QTest::newRow("bare prompt") << QByteArray("\r\n>") << Events{prompt()};
        QTest::newRow("blank prompt") << QByteArray("  >") << Events{prompt()};
        QTest::newRow("> inside a line") << QByteArray("a>b\r") << Events{text("a>b")};
        QTest::newRow("report, blanks, upper case")
            << QByteArray("#VOLUME = 25\r") << Events{async("volume", "25")};
        QTest::newRow("value keeps its case")
            << QByteArray("Mute=ON\r") << Events{value("mute", "ON")};
        QTest::newRow("error words") << QByteArray("invalid cmd\r") << Events{text("invalid cmd")};
        QTest::newRow("lone hash") << QByteArray("#\r") << Events{text("#")};
        QTest::newRow("no name") << QByteArray("=5\r") << Events{text("=5")};
        QTest::newRow("echoed command")
            << QByteArray("set volume=40\r") << Events{text("set volume=40")};
        QTest::newRow("empty value") << QByteArray("input=\r") << Events{value("input", "")};
        QTest::newRow("value with =") << QByteArray("a=b=c\n") << Events{value("a", "b=c")};
        QTest::newRow("control bytes dropped")
            << QByteArray("vol\x1bu\x07me=1\r", 11) << Events{value("volume", "1")};
        QTest::newRow("NUL dropped") << QByteArray("mu\0te=on\r", 9) << Events{value("mute", "on")};
        QTest::newRow("latin-1") << QByteArray("x=\xe4\r")
                                 << Events{value("x", QString(QChar(0xE4)))};
        QTest::newRow("runs of line ends")
            << QByteArray("\r\n\n\ra=1\n\r") << Events{value("a", "1")};
        QTest::newRow("tab kept inside, trimmed outside")
            << QByteArray("\tkey\t=\tv 1\t\r") << Events{value("key", "v 1")};
        QTest::newRow("no-break space trims the line") << QByteArray("\xa0>") << Events{prompt()};
        QTest::newRow("bytes after prompt continue")
            << QByteArray(">mute=off\r>") << Events{prompt(), value("mute", "off"), prompt()};
        QTest::newRow("unfinished line stays") << QByteArray("volume=4") << Events{};
        QTest::newRow("empty") << QByteArray() << Events{};
    }

    void events()
    {
        QFETCH(QByteArray, input);
        QFETCH(Events, expected);
        QCOMPARE(feedAll({input}), expected);
    }

    // The line may arrive in any split; the events must not depend on it.
    void splitDoesNotMatter()
    {
        QFETCH(QByteArray, input);
        QFETCH(Events, expected);
        for (qsizetype cut = 0; cut <= input.size(); ++cut)
            QCOMPARE(feedAll({input.first(cut), input.sliced(cut)}), expected);
        QList<QByteArray> bytes;
        for (char c : input)
            bytes.append(QByteArray(1, c));
        QCOMPARE(feedAll(bytes), expected);
    }
    void splitDoesNotMatter_data() { events_data(); }

    void chunksAcrossCalls()
    {
        SmartParser parser;
        QCOMPARE(parser.feed("volu"), Events{});
        QCOMPARE(parser.feed("me=4"), Events{});
        QCOMPARE(parser.pending(), QStringLiteral("volume=4"));
        QCOMPARE(parser.feed(""), Events{});
        QCOMPARE(parser.pending(), QStringLiteral("volume=4"));
        QCOMPARE(parser.feed("0\r\n>"), (Events{value("volume", "40"), prompt()}));
        QVERIFY(parser.pending().isEmpty());
    }

    // A line that never ends is cut at the bound, so memory stays bounded and the
    // reply after the garbage is still understood.
    void endlessLineIsBounded()
    {
        SmartParser parser;
        const QByteArray garbage(3 * SmartParser::maxLineLength + 17, 'x');
        const Events events = parser.feed(garbage);
        QCOMPARE(events.size(), 3);
        QCOMPARE(events.first(), text(QString(SmartParser::maxLineLength, u'x')));
        QCOMPARE(parser.pending().size(), 17);
        QCOMPARE(parser.feed("\rvolume=12\r>"),
                 (Events{text(QString(17, u'x')), value("volume", "12"), prompt()}));
    }
};

QTEST_APPLESS_MAIN(SmartParserTest)
#include "test_smart_parser.moc"

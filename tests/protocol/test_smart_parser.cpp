#include "protocol/SmartParser.h"

#include <QTest>

using Events = QList<SmartEvent>;

namespace {

const auto value = SmartEvent::makeValue;
const auto async = SmartEvent::makeAsync;
const auto text = SmartEvent::makeText;
const auto prompt = SmartEvent::makePrompt;

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
        const auto row = [](const char* tag, const QByteArray& input, const Events& expected) {
            QTest::newRow(tag) << input << expected;
        };
        row("reply and prompt", "volume=40\r\n>", {value("volume", "40"), prompt()});
        row("bare prompt", "\r\n>", {prompt()});
        row("blank prompt", "  >", {prompt()});
        row("> inside a line", "a>b\r", {text("a>b")});
        row("report, blanks, upper case", "#VOLUME = 25\r", {async("volume", "25")});
        row("value keeps its case", "Mute=ON\r", {value("mute", "ON")});
        row("error words", "invalid cmd\r", {text("invalid cmd")});
        row("no name", "=5\r", {text("=5")});
        row("echoed command", "set volume=40\r", {text("set volume=40")});
        row("empty value", "input=\r", {value("input", "")});
        row("value with =", "a=b=c\n", {value("a", "b=c")});
        row("control bytes dropped", QByteArray("v\0ol\x1bu\x07me=1\r", 12),
            {value("volume", "1")});
        row("latin-1", "x=\xe4\r", {value("x", QString(QChar(0xE4)))});
        row("runs of line ends", "\r\n\n\ra=1\n\r", {value("a", "1")});
        row("tab kept inside, trimmed outside", "\tkey\t=\tv 1\t\r", {value("key", "v 1")});
        row("no-break space trims the line", "\xa0>", {prompt()});
        row("bytes after prompt continue", ">mute=off\r>",
            {prompt(), value("mute", "off"), prompt()});
        row("unfinished line stays", "volume=4", {});
    }

    // The line may arrive in any split; the events must not depend on it.
    void events()
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

    // What is held between calls; an empty chunk changes nothing.
    void pendingLine()
    {
        SmartParser parser;
        QCOMPARE(parser.feed("volume=4"), Events{});
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

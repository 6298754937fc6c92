#include "protocol/CommandLine.h"
#include "protocol/DisplaySeries.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"
#include "protocol/SmartCommand.h"
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

// The display's vocabulary and the parser of what comes back.
class SmartProtocolTest : public QObject {
    Q_OBJECT

private slots:
    // One grammar for command lines: the queue's merging, the simulator and the tool.
    void commandLinesAndLevels()
    {
        const auto parts = [](const QString& text) { // verb|name|op|value, or "-" for no line
            const auto line = CommandLine::parse(text);
            if (!line)
                return QStringLiteral("-");
            return QStringList({line->verb == CommandLine::Verb::set ? "set" : "get", line->name,
                                line->op.isNull() ? QString() : QString(line->op), line->value})
                .join(u'|');
        };
        QCOMPARE(parts("set volume+5"), "set|volume|+|5");
        QCOMPARE(parts("  SET \tVOLUME = 7 "), "set|volume|=|7");
        QCOMPARE(parts("set brightness-5"), "set|brightness|-|5");
        QCOMPARE(parts("set input=HDMI 1"), "set|input|=|HDMI 1");
        QCOMPARE(parts("set volume=-5"), "set|volume|=|-5");
        QCOMPARE(parts("get  Volume"), "get|volume||");
        for (const char* text : {"set volume", "set =5", "set ", "get", "help volume"})
            QVERIFY2(parts(text) == "-", text);

        // One number grammar for a level: what a reply, a command and the tool read.
        const std::tuple<const char*, std::optional<double>, std::optional<qint64>> rows[] = {
            {"40", 40, 40},
            {"+5", 5, 5},
            {"-5", -5, -5},
            {"40.5", 40.5, {}},
            {"007", 7, 7},
            {" 5", {}, {}},
            {"5 ", {}, {}},
            {"1e2", {}, {}},
            {"nan", {}, {}},
            {"4.", {}, {}},
            {".5", {}, {}},
            {"", {}, {}},
            {"9223372036854775807", 9223372036854775807.0, 9223372036854775807},
            {"9223372036854775808", 9223372036854775808.0, {}},
        };
        for (const auto& [text, level, whole] : rows) {
            QVERIFY2(readLevel(QString(text)) == level, text);
            QVERIFY2(readWholeLevel(QString(text)) == whole, text);
        }
    }

    // The wire words, relative steps and the three query lists, in sending order.
    void settingTable()
    {
        QCOMPARE(SmartCommand::relative(DisplaySetting::brightness, 0), "set brightness+0");
        QCOMPARE(SmartCommand::relative(DisplaySetting::volume, std::numeric_limits<qint64>::min()),
                 "set volume-9223372036854775808");
        const auto names = [](const QList<DisplaySetting>& settings) {
            QStringList words;
            for (DisplaySetting setting : settings)
                words.append(::settingName(setting));
            return words.join(u' ');
        };
        QCOMPARE(names(SmartCommand::cyclicPoll()), "powerstate input volume mute brightness");
        QCOMPARE(names(SmartCommand::statusQueries()),
                 "powerstate input volume mute micmute brightness videofreeze "
                 "screenshade statereporting");
        QCOMPARE(names(SmartCommand::infoQueries()), "modelnum serialnum partnum fwversion");
        for (const SettingInfo& row : displaySettings())
            QCOMPARE(settingNamed(row.name), std::optional(row.setting));
        QCOMPARE(settingNamed("VOLUME"), std::nullopt);
        QCOMPARE(settingNamed("factoryreset"), std::nullopt);
    }

    void seriesPowerStatesAndLabels()
    {
        const auto detected = [](const QString& model) {
            const auto series = ::detectSeries(model);
            return series ? rawValue(*series) : QString();
        };
        QCOMPARE(detected("SBID-RX086"), QStringLiteral("RX"));
        QCOMPARE(detected("sbid-qx286"), QStringLiteral("QX"));
        QCOMPARE(detected("RX-QX"), QStringLiteral("QX"));
        QCOMPARE(detected("SBID-MX275"), QString());
        QCOMPARE(displaySeriesFromRaw("RX"), std::optional(DisplaySeries::rx));
        QCOMPARE(displaySeriesFromRaw("rx"), std::nullopt);
        for (PowerState state : allPowerStates())
            QCOMPARE(powerStateFromRaw(rawValue(state)), std::optional(state));
        QCOMPARE(powerStateFromRaw("On"), std::nullopt);
        QCOMPARE(label(PowerState::standby), QStringLiteral("Standby (Netzwerk)"));
        QCOMPARE(InputSource::labelFor("hdmi3"), QStringLiteral("HDMI 3"));
        QCOMPARE(InputSource::labelFor("HDMI1"), QStringLiteral("HDMI1")); // unknown kept
        using enum PowerState;
        QCOMPARE(availablePowerStates(DisplaySeries::qx),
                 QList<PowerState>({on, ready, standby, powersave, off}));
        QCOMPARE(availablePowerStates(DisplaySeries::rx), QList<PowerState>({on, standby, off}));
    }

    void events_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Events>("expected");
        const auto row = [](const char* tag, const QByteArray& input, const Events& expected) {
            QTest::newRow(tag) << input << expected;
        };
        row("reply and prompt", "volume=40\r\n>", {value("volume", "40"), prompt()});
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

    // What is held between calls (an empty chunk changes nothing); a line that never ends is
    // cut at the bound, and the reply after the garbage is still understood.
    void pendingAndEndlessLines()
    {
        SmartParser parser;
        QCOMPARE(parser.feed("volume=4"), Events{});
        QCOMPARE(parser.feed(""), Events{});
        QCOMPARE(parser.pending(), QStringLiteral("volume=4"));
        QCOMPARE(parser.feed("0\r\n>"), (Events{value("volume", "40"), prompt()}));
        QVERIFY(parser.pending().isEmpty());
        const QByteArray garbage(3 * SmartParser::maxLineLength + 17, 'x');
        const Events events = parser.feed(garbage);
        QCOMPARE(events.size(), 3);
        QCOMPARE(events.first(), text(QString(SmartParser::maxLineLength, u'x')));
        QCOMPARE(parser.pending().size(), 17);
        QCOMPARE(parser.feed("\rvolume=12\r>"),
                 (Events{text(QString(17, u'x')), value("volume", "12"), prompt()}));
    }
};

QTEST_APPLESS_MAIN(SmartProtocolTest)
#include "test_smart_protocol.moc"

// bildwartctl's parts, without starting the tool: the argument grammar and what it prints.
#include "ControllerFixture.h"
#include "cli/invocation/InvocationParser.h"
#include "cli/invocation/TargetList.h"
#include "cli/output/LogLine.h"
#include "cli/output/RoundTripTimes.h"
#include "controller/values/DisplayReport.h"

using Command = Invocation::Command;
Q_DECLARE_METATYPE(std::optional<SetAction>)

namespace {

Invocation parsed(const QStringList& arguments)
{
    auto result = InvocationParser::parse(arguments);
    if (const QString* error = std::get_if<QString>(&result))
        qWarning("unexpected usage error: %s", qPrintable(*error));
    return std::get_if<Invocation>(&result) ? std::get<Invocation>(result) : Invocation{};
}

} // namespace

class CtlPartsTest : public QObject {
    Q_OBJECT

private slots:
    void optionsArgumentsAndHelp()
    {
        // Options may follow the command too; a short option's value may be attached.
        const Invocation after = parsed({"status", "--json", "-p", "/dev/ttyUSB0"});
        QCOMPARE(after.port, std::optional<QString>("/dev/ttyUSB0"));
        QVERIFY(after.json);
        QCOMPARE(parsed({"-psimulator://smart", "status"}).port,
                 std::optional<QString>("simulator://smart"));
        QCOMPARE(parsed({"--pattern", "uPattern", "testout"}).pattern,
                 std::optional(TestPattern::uPattern));
        // Line options over the stored settings.
        SerialSettings stored;
        stored.lineEnding = SerialSettings::LineEnding::crlf;
        const SerialSettings applied =
            parsed({"--baud=9600", "--parity", "even", "--flow", "RtsCts", "--timeout", "3",
                    "--delay", "0,5", "status"})
                .applyTo(stored);
        QCOMPARE(applied.baudRate, qint64(9600));
        QCOMPARE(applied.lineEnding, SerialSettings::LineEnding::crlf);
        QCOMPARE(applied.parity, SerialSettings::Parity::even);
        QCOMPARE(applied.flowControl, SerialSettings::FlowControl::rtsCts);
        QCOMPARE(applied.responseTimeout, 3.0);
        QCOMPARE(applied.interCommandDelay, 0.5);

        // A negative step is an argument, not an option; "--" ends the options.
        const Invocation set = parsed({"set", "volume", "-5"});
        QVERIFY(set.action && set.action->setting == DisplaySetting::volume);
        QCOMPARE(set.action->step, std::optional<qint64>(-5));
        const Invocation send = parsed({"send", "--", "--json", "get volume"});
        QCOMPARE(send.lines, QStringList({"--json", "get volume"}));
        QVERIFY(!send.json);
        // doctor's port as -p too; without it, every port.
        QCOMPARE(parsed({"-p", "/dev/ttyUSB0", "doctor"}).port,
                 std::optional<QString>("/dev/ttyUSB0"));
        QCOMPARE(parsed({"doctor", "--json"}).port, std::nullopt);
        // The fleet's own options; groups with or without their "@".
        const Invocation fleet =
            parsed({"--targets", "schule.txt", "--parallel=4096", "--retries", "2", "--group",
                    "@og2", "--group=beamer", "--json", "set", "volume", "--", "-5"});
        QCOMPARE(fleet.parallel, std::optional<qint64>(4096));
        QCOMPARE(fleet.retries, std::optional<qint64>(2));
        QCOMPARE(fleet.groups, QStringList({"og2", "beamer"}));
        QCOMPARE(fleet.action->step, std::optional<qint64>(-5));

        // Help, as an option or a command, names what there is.
        QCOMPARE(parsed({"status", "--help"}).command, Command::help);
        QCOMPARE(parsed({"help"}).command, Command::help);
        const QString text = InvocationParser::helpText();
        for (const char* word : {"Aufruf:", "Rückgabewerte", "--port", "--stop-bits", "--duration",
                                 "loopback", "simulate"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* tag, const QStringList& arguments, const char* error) {
            QTest::newRow(tag) << arguments << error;
        };
        row("nothing", {}, "Kein Befehl angegeben");
        row("unknown command", {"reboot"}, "Unbekannter Befehl „reboot“");
        row("unknown option", {"--bogus", "status"},
            "Unbekannte Option „--bogus“ – „bildwartctl --help“ zeigt alle.");
        row("unknown simulator", {"-p", "simulator://lopback", "loopback"},
            "„simulator://lopback“ ist keine bekannte Adresse – es gibt simulator://smart und "
            "simulator://loopback.");
        row("value missing", {"status", "--baud"}, "Option „--baud“ braucht einen Wert (N).");
        row("switch with value", {"--json=yes", "status"}, "Option „--json“ nimmt keinen Wert.");
        row("option of another command", {"status", "--size", "64"},
            "Option „--size“ gilt nicht für „status“.");
        // Limits name both of their bounds.
        row("baud zero", {"--baud", "0", "status"},
            "Ungültiger Wert „0“ für --baud – erwartet eine ganze Zahl von 50 bis 12000000.");
        row("pause too long", {"--delay", "11", "status"},
            "Ungültiger Wert „11“ für --delay – erwartet Sekunden von 0 bis 10.");
        row("duration beyond a day", {"monitor", "--duration", "86401"},
            "Ungültiger Wert „86401“ für --duration – erwartet Sekunden über 0 bis höchstens "
            "86400.");
        row("stop bits", {"--stop-bits", "1.5", "status"}, "Ungültiger Wert „1.5“ für --stop-bits");
        row("get without name", {"get"}, "„get“ braucht NAME.");
        row("name with blank", {"get", "volume mute"},
            "„volume mute“ ist kein Name einer Einstellung.");
        row("too many", {"status", "now"}, "Zu viele Argumente für „status“: „now“.");
        row("line break in a line", {"send", "get volume\nset mute=on"},
            "Eine Befehlszeile enthält einen Zeilenumbruch");
        row("hex", {"raw", "--hex", "4G"}, "Ungültige Hex-Eingabe: 4G");
        row("two ports for doctor", {"-p", "/dev/ttyUSB0", "doctor", "/dev/ttyUSB1"},
            "Zwei Ports angegeben: „/dev/ttyUSB0“ und „/dev/ttyUSB1“.");
        row("set unknown", {"set", "contrast", "5"}, "Unbekannte Einstellung „contrast“");
        // Faster test output than the tester sends would be a promise not kept.
        row("test output faster than it goes", {"testout", "--interval", "0.001"},
            "Ungültiger Wert „0.001“ für --interval – erwartet Sekunden von 0");
        row("fleet option without a fleet", {"--group", "og2", "status"},
            "--group gilt nur mit --targets.");
        row("parallel beyond the limit", {"--targets", "t", "--parallel", "4097", "status"},
            "Ungültiger Wert „4097“ für --parallel – erwartet eine ganze Zahl von 1 bis 4096.");
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const auto result = InvocationParser::parse(arguments);
        const QString* text = std::get_if<QString>(&result);
        QVERIFY(text);
        QVERIFY2(text->startsWith(error), qPrintable(*text));
        QVERIFY(!text->contains(u'\n'));
    }

    // What "set NAME WERT" makes of its words; a refused value is named in the message.
    void setActions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<std::optional<SetAction>>("expected"); // none: refused
        using S = DisplaySetting;
        using enum PowerState;
        const auto row = [](const char* name, const char* value,
                            const std::optional<SetAction>& expected) {
            QTest::addRow("%s %s", name, value) << QString(name) << QString(value) << expected;
        };
        row("PowerState", "ON", SetAction{.setting = S::power, .power = on});
        row("input", "HDMI2", SetAction{.setting = S::input, .input = "hdmi2"});
        row("volume", "40", SetAction{.setting = S::volume, .level = 40});
        row("brightness", "-100", SetAction{.setting = S::brightness, .step = -100});
        row("statereporting", "Off", SetAction{.setting = S::stateReporting, .on = false});
        row("volume", "101", std::nullopt);
        row("brightness", "40.5", std::nullopt);
        row("power", "updateon", std::nullopt);
        row("input", "hdmi9", std::nullopt);
        row("mute", "yes", std::nullopt);
    }
    void setActions()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(std::optional<SetAction>, expected);
        const auto result = SetAction::parse(name, value);
        if (const QString* error = std::get_if<QString>(&result))
            QVERIFY2(!expected && error->contains(u'„' + value + u'“'), qPrintable(*error));
        else
            QVERIFY(expected && std::get<SetAction>(result) == *expected);
    }

    void targetFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("targets"); // address|name|groups
        QTest::addColumn<QString>("error");
        const auto row = [](const char* tag, const char* text, const QStringList& targets,
                            const char* error = "") {
            QTest::newRow(tag) << text << targets << error;
        };
        row("names, comments, blank lines",
            "# Schule\n#\ntcp://10.1.2.3:4001 Raum 2.14\n\n  /dev/ttyUSB0  # Lehrerzimmer\n"
            "rfc2217://[fe80::1]:2001 Aula #1 links\n",
            {"tcp://10.1.2.3:4001|Raum 2.14|", "/dev/ttyUSB0||",
             "rfc2217://[fe80::1]:2001|Aula #1 links|"});
        row("a target switched off by a leading #, CR LF",
            "#tcp://127.0.0.1:52101 B\r\n  #/dev/ttyUSB1\r\ntcp://127.0.0.1:52102 A\r\n",
            {"tcp://127.0.0.1:52102|A|"});
        row("groups anywhere after the address",
            "tcp://10.1.2.14:4001 Raum 2.14 @og2 @beamer\n/dev/ttyUSB0 @og2 Lehrer  zimmer @\n",
            {"tcp://10.1.2.14:4001|Raum 2.14|og2,beamer", "/dev/ttyUSB0|Lehrer zimmer @|og2"});
        row("not an address", "tcp://10.1.2.3:4001\nraum-2.14 tcp://10.1.2.4:4001\n", {},
            "Zeile 2: „raum-2.14“ ist keine Adresse");
        row("port out of range", "tcp://10.1.2.3:70000", {},
            "Zeile 1: „tcp://10.1.2.3:70000“ ist keine Adresse");
        row("only comments", "# leer\n\n", {}, "Die Zieldatei nennt keine einzige Adresse.");
    }
    void targetFiles()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, targets);
        QFETCH(QString, error);
        const auto result = TargetList::parse(text);
        if (const QString* message = std::get_if<QString>(&result)) {
            QVERIFY2(message->startsWith(error), qPrintable(*message));
            QVERIFY(!error.isEmpty());
            return;
        }
        QStringList found;
        for (const Target& target : std::get<QList<Target>>(result))
            found.append(target.address + u'|' + target.name + u'|' + target.groups.join(u','));
        QCOMPARE(found, targets);
    }

    // Only what the display told on this line is printed; numbers and switches typed.
    void reportedValues_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("key"); // the value asked for
        QTest::addColumn<bool>("thisLine");
        QTest::addColumn<QJsonValue>("expected");
        const auto row = [](const char* tag, const char* reply, const char* key,
                            const QJsonValue& expected, bool thisLine = true) {
            QTest::newRow(tag) << reply << key << thisLine << expected;
        };
        row("volume zero is known", "volume=0", "volume", 0);
        row("a switch", "mute=on", "mute", true);
        row("a word the program does not know", "powerstate=sleeping", "powerstate", "sleeping");
        row("series follows the model", "modelnum=SBID-RX086", "series", "RX");
        row("never told", "volume=30", "mute", {});
        row("told on an earlier line", "volume=30", "volume", {}, false);
        row("series from an earlier line", "modelnum=SBID-RX086", "series", {}, false);
    }
    void reportedValues()
    {
        QFETCH(QString, reply);
        QFETCH(QString, key);
        QFETCH(bool, thisLine);
        QFETCH(QJsonValue, expected);
        DisplayState state;
        state.beginConnection(1);
        state.apply(reply.section(u'=', 0, 0), reply.section(u'=', 1), ValueSource::query, false,
                    {}, QDateTime::currentDateTimeUtc(), "/dev/ttyUSB0");
        if (!thisLine)
            state.beginConnection(2);
        QCOMPARE(DisplayReport::value(state, key), expected);
    }

    void printedLinesAndRoundTrips()
    {
        // Numbers and times in the C locale, whatever the desktop's.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(DisplayReport::plainLine("volume", 40.5), std::optional<QString>("volume=40.5"));
        const QDateTime date(QDate(2026, 12, 5), QTime(14, 3, 22, 105));
        const LogEntry sent{1, date, LogEntry::Kind::tx, "get volume", QByteArray("get volume\r")};
        QCOMPARE(logLine(sent, false), QString("2026-12-05 14:03:22.105 → get volume"));
        QCOMPARE(logLine(sent, true), "2026-12-05 14:03:22.105 → 67 65 74 20 76 6F 6C 75 6D 65 0D");
        // Notes have no bytes; they stay text in hex mode.
        const LogEntry note{1, date, LogEntry::Kind::info, "Verbindung getrennt", {}};
        QCOMPARE(logLine(note, true), "2026-12-05 14:03:22.105 ℹ\uFE0E Verbindung getrennt");
        QLocale::setDefault(QLocale::c());

        // The median round trip.
        RoundTripTimes times;
        QCOMPARE(times.median(), std::nullopt);
        times.add(0.004);
        times.add(0.010);
        times.add(0.001); // odd count, unsorted
        QCOMPARE(times.median().value_or(-1), 0.004);
        times.add(0.002); // even count: the mean of the middle two
        QCOMPARE(times.median().value_or(-1), 0.003);
    }
};

QTEST_GUILESS_MAIN(CtlPartsTest)
#include "test_ctl_parts.moc"

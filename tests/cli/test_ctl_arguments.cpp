// bildwartctl's argument grammar, without starting anything.
#include "cli/InvocationParser.h"
#include "cli/TargetList.h"

#include <QTest>

using Command = Invocation::Command;
Q_DECLARE_METATYPE(SetAction)

namespace {

Invocation parsed(const QStringList& arguments)
{
    auto result = InvocationParser::parse(arguments);
    if (const QString* error = std::get_if<QString>(&result))
        qWarning("unexpected usage error: %s", qPrintable(*error));
    return std::get_if<Invocation>(&result) ? std::get<Invocation>(result) : Invocation{};
}

QString usageError(const QStringList& arguments)
{
    const auto result = InvocationParser::parse(arguments);
    const QString* error = std::get_if<QString>(&result);
    return error ? *error : QString();
}

} // namespace

class InvocationParserTest : public QObject {
    Q_OBJECT

private slots:
    void optionsAnywhere()
    {
        const Invocation before = parsed({"-p", "/dev/ttyUSB0", "--json", "status"});
        const Invocation after = parsed({"status", "--json", "-p", "/dev/ttyUSB0"});
        QCOMPARE(before.command, Command::status);
        QCOMPARE(after.command, Command::status);
        QCOMPARE(before.port, std::optional<QString>("/dev/ttyUSB0"));
        QCOMPARE(after.port, before.port);
        QVERIFY(before.json && after.json);
    }

    void optionSpellings()
    {
        QCOMPARE(parsed({"--baud=9600", "status"}).baudRate, std::optional<qint64>(9600));
        QCOMPARE(parsed({"-psimulator://smart", "status"}).port,
                 std::optional<QString>("simulator://smart"));
        QCOMPARE(parsed({"--flow", "RtsCts", "status"}).flowControl,
                 std::optional(SerialSettings::FlowControl::rtsCts));
        QCOMPARE(parsed({"--timeout", "1,5", "status"}).responseTimeout, std::optional(1.5));
        QCOMPARE(parsed({"--pattern", "uPattern", "testout"}).pattern,
                 std::optional(TestPattern::uPattern));
        QCOMPARE(parsed({"simulate", "--series", "rx"}).series, std::optional(DisplaySeries::rx));
    }

    void lineOptionsOverTheStoredSettings()
    {
        SerialSettings stored;
        stored.baudRate = 9600;
        stored.lineEnding = SerialSettings::LineEnding::crlf;
        const SerialSettings applied =
            parsed({"--parity", "even", "--timeout", "3", "--delay", "0,5", "status"})
                .applyTo(stored);
        QCOMPARE(applied.baudRate, qint64(9600));
        QCOMPARE(applied.lineEnding, SerialSettings::LineEnding::crlf);
        QCOMPARE(applied.parity, SerialSettings::Parity::even);
        QCOMPARE(applied.responseTimeout, 3.0);
        QCOMPARE(applied.interCommandDelay, 0.5);
    }

    void commandArguments()
    {
        // A negative step is an argument, not an option; "--" ends the options.
        const Invocation set = parsed({"set", "volume", "-5"});
        QCOMPARE(set.command, Command::set);
        QVERIFY(set.action && set.action->setting == DisplaySetting::volume);
        QCOMPARE(set.action->step, std::optional<qint64>(-5));
        const Invocation send = parsed({"send", "--", "--json", "get volume"});
        QCOMPARE(send.lines, QStringList({"--json", "get volume"}));
        QVERIFY(!send.json);
        QCOMPARE(parsed({"raw", "--hex", "0x55,0xAA"}).rawData, QByteArray("\x55\xAA"));
        QCOMPARE(parsed({"raw", "get volume"}).rawData, QByteArray("get volume"));
        // doctor's port as an argument or as -p; without either, every port.
        QCOMPARE(parsed({"doctor", "/dev/ttyUSB0"}).port, std::optional<QString>("/dev/ttyUSB0"));
        QCOMPARE(parsed({"-p", "/dev/ttyUSB0", "doctor"}).port,
                 std::optional<QString>("/dev/ttyUSB0"));
        QCOMPARE(parsed({"doctor", "--json"}).port, std::nullopt);
    }

    void help()
    {
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
        QTest::newRow("nothing") << QStringList{} << "Kein Befehl angegeben";
        QTest::newRow("unknown command") << QStringList{"reboot"} << "Unbekannter Befehl „reboot“";
        QTest::newRow("unknown option") << QStringList{"-x", "status"} << "Unbekannte Option „-x“";
        QTest::newRow("value missing")
            << QStringList{"status", "--baud"} << "Option „--baud“ braucht einen Wert (N).";
        QTest::newRow("switch with value")
            << QStringList{"--json=yes", "status"} << "Option „--json“ nimmt keinen Wert.";
        QTest::newRow("option of another command")
            << QStringList{"status", "--size", "64"} << "Option „--size“ gilt nicht für „status“.";
        // Limits name both of their bounds.
        QTest::newRow("baud zero") << QStringList{"--baud", "0", "status"}
                                   << "Ungültiger Wert „0“ für --baud – erwartet eine ganze Zahl "
                                      "von 50 bis 12000000.";
        QTest::newRow("pause too long") << QStringList{"--delay", "11", "status"}
                                        << "Ungültiger Wert „11“ für --delay – erwartet Sekunden "
                                           "von 0 bis 10.";
        QTest::newRow("duration beyond a day")
            << QStringList{"monitor", "--duration", "86401"}
            << "Ungültiger Wert „86401“ für --duration – erwartet Sekunden über 0 bis höchstens "
               "86400.";
        QTest::newRow("stop bits") << QStringList{"--stop-bits", "1.5", "status"}
                                   << "Ungültiger Wert „1.5“ für --stop-bits";
        QTest::newRow("get without name") << QStringList{"get"} << "„get“ braucht NAME.";
        QTest::newRow("name with blank") << QStringList{"get", "volume mute"}
                                         << "„volume mute“ ist kein Name einer Einstellung.";
        QTest::newRow("too many") << QStringList{"status", "now"}
                                  << "Zu viele Argumente für „status“: „now“.";
        QTest::newRow("line break in a line") << QStringList{"send", "get volume\nset mute=on"}
                                              << "Eine Befehlszeile enthält einen Zeilenumbruch";
        QTest::newRow("hex") << QStringList{"raw", "--hex", "4G"} << "Ungültige Hex-Eingabe: 4G";
        QTest::newRow("two ports for doctor")
            << QStringList{"-p", "/dev/ttyUSB0", "doctor", "/dev/ttyUSB1"}
            << "Zwei Ports angegeben: „/dev/ttyUSB0“ und „/dev/ttyUSB1“.";
        QTest::newRow("set unknown")
            << QStringList{"set", "contrast", "5"} << "Unbekannte Einstellung „contrast“";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const QString text = usageError(arguments);
        QVERIFY2(text.startsWith(error), qPrintable(text));
        QVERIFY(!text.contains(u'\n'));
    }

    void setActions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<SetAction>("expected");
        using S = DisplaySetting;
        using enum PowerState;
        const auto row = [](const char* name, const char* value, const SetAction& expected) {
            QTest::addRow("%s %s", name, value) << QString(name) << QString(value) << expected;
        };
        row("power", "standby", {.setting = S::power, .power = standby});
        row("PowerState", "ON", {.setting = S::power, .power = on});
        row("input", "HDMI2", {.setting = S::input, .input = "hdmi2"});
        row("volume", "40", {.setting = S::volume, .level = 40});
        row("volume", "+5", {.setting = S::volume, .step = 5});
        row("brightness", "-100", {.setting = S::brightness, .step = -100});
        row("mute", "on", {.setting = S::mute, .on = true});
        row("statereporting", "Off", {.setting = S::stateReporting, .on = false});
    }
    void setActions()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(SetAction, expected);
        const auto result = SetAction::parse(name, value);
        QVERIFY(std::holds_alternative<SetAction>(result));
        QVERIFY(std::get<SetAction>(result) == expected);
    }

    void refusedSetValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        for (const auto& [name, value] : {std::pair{"volume", "101"},
                                          {"volume", "+101"},
                                          {"brightness", "40.5"},
                                          {"volume", "loud"},
                                          {"power", "updateon"},
                                          {"input", "hdmi9"},
                                          {"mute", "yes"}})
            QTest::addRow("%s %s", name, value) << QString(name) << QString(value);
    }

    void refusedSetValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        const auto result = SetAction::parse(name, value);
        QVERIFY(std::holds_alternative<QString>(result));
        QVERIFY2(std::get<QString>(result).contains(u'\u201E' + value + u'\u201C'),
                 qPrintable(std::get<QString>(result)));
    }

    // Each display of a fleet gets the arguments without the fleet's own options.
    void fleetArguments()
    {
        const Invocation fleet = parsed(
            {"--targets", "schule.txt", "--parallel=4", "--json", "set", "volume", "--", "-5"});
        QCOMPARE(fleet.targets, std::optional<QString>("schule.txt"));
        QCOMPARE(fleet.parallel, std::optional<qint64>(4));
        QCOMPARE(fleet.perTargetArguments, QStringList({"--json", "set", "volume", "--", "-5"}));
    }

    void targetFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("targets"); // address|name
        QTest::addColumn<QString>("error");
        QTest::newRow("names, comments, blank lines")
            << "# Schule\n#\ntcp://10.1.2.3:4001 Raum 2.14\n\n  /dev/ttyUSB0  # Lehrerzimmer\n"
               "rfc2217://[fe80::1]:2001 Aula #1 links\n"
            << QStringList{"tcp://10.1.2.3:4001|Raum 2.14", "/dev/ttyUSB0|",
                           "rfc2217://[fe80::1]:2001|Aula #1 links"}
            << QString();
        QTest::newRow("not an address")
            << "tcp://10.1.2.3:4001\nraum-2.14:4001\n"
            << QStringList() << "Zeile 2: „raum-2.14:4001“ ist keine Adresse";
        QTest::newRow("port out of range") << "tcp://10.1.2.3:70000" << QStringList()
                                           << "Zeile 1: „tcp://10.1.2.3:70000“ ist keine Adresse";
        QTest::newRow("only comments")
            << "# leer\n\n"
            << QStringList() << "Die Zieldatei nennt keine einzige Adresse.";
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
            found.append(target.address + u'|' + target.name);
        QCOMPARE(found, targets);
    }
};

QTEST_GUILESS_MAIN(InvocationParserTest)
#include "test_ctl_arguments.moc"

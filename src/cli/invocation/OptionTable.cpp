#include "cli/invocation/OptionTable.h"

#include "controller/LineTester.h"
#include "line/LineAddress.h"

#include "linetest/LoopbackStats.h"
#include "protocol/DisplaySetting.h"
#include "protocol/InputSource.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <type_traits>

namespace {

using Command = Invocation::Command;

// Waits of the tool are bounded to one day; the controller's timers are too.
constexpr double maxSeconds = 86'400;
// More packets than anyone waits for at 0.2 s each; keeps the count within a week.
constexpr qint64 maxCount = 1'000'000;
// Displays of a fleet served at once: each is a process of its own with one connection.
constexpr qint64 maxParallel = 4096;
constexpr qint64 maxRetries = 10;

// The commands that make sense for many displays at once.
QList<Command> fleetCommands()
{
    return {Command::status, Command::get, Command::set, Command::send, Command::raw};
}

// What a running session (the window, "bildwartctl serve") can do for a call.
QList<Command> sharedCommands()
{
    return {Command::status, Command::get, Command::set, Command::send, Command::monitor};
}

QString invalid(const QString& option, const QString& value, const QString& expected)
{
    return QCoreApplication::translate("OptionTable",
                                       "Ungültiger Wert „%1“ für --%2 – erwartet %3.")
        .arg(value, option, expected);
}

std::optional<qint64> wholeNumber(const QString& text, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 number = QLocale::c().toLongLong(text, &ok);
    if (!ok || number < min || number > max)
        return std::nullopt;
    return number;
}

// Seconds from `min` (or, not included, above it) up to `max`; a German decimal comma is as
// good as a point.
std::optional<double> seconds(QString text, double min, double max, bool minIncluded = true)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(text.replace(u',', u'.'), &ok);
    const bool aboveMin = minIncluded ? number >= min : number > min;
    if (!ok || !aboveMin || !(number <= max))
        return std::nullopt;
    return number;
}

// A duration of the tool: more than nothing, at most a day.
std::optional<double> duration(const QString& text)
{
    return seconds(text, 0, maxSeconds, false);
}

QString number(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

QString secondsBetween(double min, double max)
{
    return QCoreApplication::translate("OptionTable", "Sekunden von %1 bis %2")
        .arg(number(min), number(max));
}

// The raw value of an enumeration case, compared without regard to case.
template <typename Enum>
std::optional<Enum> caseNamed(const QString& text, const QList<Enum>& cases,
                              QString (*raw)(std::type_identity_t<Enum>))
{
    for (Enum value : cases) {
        if (raw(value).compare(text, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<QString> checked(bool ok, const QString& option, const QString& value,
                               const QString& expected)
{
    if (ok)
        return std::nullopt;
    return invalid(option, value, expected);
}

QString durationExpected()
{
    return QCoreApplication::translate("OptionTable", "Sekunden über 0 bis höchstens %1")
        .arg(number(maxSeconds));
}

QList<OptionDefinition> buildOptionTable()
{
    using S = SerialSettings;
    return {
        {"port",
         u'p',
         QCoreApplication::translate("OptionTable", "PFAD"),
         QCoreApplication::translate(
             "OptionTable", "Schnittstelle: Gerätepfad, /dev/serial/by-id/…, tcp://HOST:PORT,\n"
                            "rfc2217://HOST:PORT, simulator://smart oder simulator://loopback\n"
                            "(Vorgabe: die zuletzt verbundene)"),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             if (v.isEmpty())
                 return QCoreApplication::translate("OptionTable", "--port braucht einen Pfad.");
             // Checked here, once: a malformed address is a usage error, not a missing file.
             const auto address = LineAddress::parse(v);
             if (const QString* error = std::get_if<QString>(&address))
                 return *error;
             i.ports.append(std::get<LineAddress>(address).text());
             i.port = i.ports.first();
             return std::nullopt;
         }},
        {"baud",
         {},
         "N",
         QCoreApplication::translate("OptionTable",
                                     "Baudrate (Vorgabe aus den Einstellungen, sonst 19200)"),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.baudRate = wholeNumber(v, S::minBaudRate, S::maxBaudRate);
             return checked(
                 i.baudRate.has_value(), "baud", v,
                 QCoreApplication::translate("OptionTable", "eine ganze Zahl von %1 bis %2")
                     .arg(S::minBaudRate)
                     .arg(S::maxBaudRate));
         }},
        {"data-bits",
         {},
         "5|6|7|8",
         parameterName(SerialParameter::dataBits),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             const auto n = wholeNumber(v, 5, 8);
             i.dataBits = n ? dataBitsFromRaw(*n) : std::nullopt;
             return checked(i.dataBits.has_value(), "data-bits", v,
                            QCoreApplication::translate("OptionTable", "5, 6, 7 oder 8"));
         }},
        {"parity",
         {},
         "none|even|odd",
         parameterName(SerialParameter::parity),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.parity = caseNamed(v, allCases(S::Parity{}), &rawValue);
             return checked(i.parity.has_value(), "parity", v,
                            QCoreApplication::translate("OptionTable", "none, even oder odd"));
         }},
        {"stop-bits",
         {},
         "1|2",
         parameterName(SerialParameter::stopBits),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             const auto n = wholeNumber(v, 1, 2);
             i.stopBits = n ? stopBitsFromRaw(*n) : std::nullopt;
             return checked(i.stopBits.has_value(), "stop-bits", v,
                            QCoreApplication::translate("OptionTable", "1 oder 2"));
         }},
        {"flow",
         {},
         "none|rtscts|xonxoff",
         parameterName(SerialParameter::flowControl),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.flowControl = caseNamed(v, allCases(S::FlowControl{}), &rawValue);
             return checked(
                 i.flowControl.has_value(), "flow", v,
                 QCoreApplication::translate("OptionTable", "none, rtscts oder xonxoff"));
         }},
        {"line-ending",
         {},
         "cr|lf|crlf",
         QCoreApplication::translate("OptionTable", "Zeilenende nach jedem Befehl"),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.lineEnding = caseNamed(v, allCases(S::LineEnding{}), &rawValue);
             return checked(i.lineEnding.has_value(), "line-ending", v,
                            QCoreApplication::translate("OptionTable", "cr, lf oder crlf"));
         }},
        {"timeout",
         {},
         QCoreApplication::translate("OptionTable", "SEKUNDEN"),
         QCoreApplication::translate("OptionTable",
                                     "wie lange das Display für seine Antwort bekommt"),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.responseTimeout = seconds(v, S::minResponseTimeout, S::maxResponseTimeout);
             return checked(i.responseTimeout.has_value(), "timeout", v,
                            secondsBetween(S::minResponseTimeout, S::maxResponseTimeout));
         }},
        {"delay",
         {},
         QCoreApplication::translate("OptionTable", "SEKUNDEN"),
         QCoreApplication::translate("OptionTable", "Pause zwischen zwei Befehlen"),
         {},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.interCommandDelay = seconds(v, S::minInterCommandDelay, S::maxInterCommandDelay);
             return checked(i.interCommandDelay.has_value(), "delay", v,
                            secondsBetween(S::minInterCommandDelay, S::maxInterCommandDelay));
         }},
        {"targets",
         {},
         QCoreApplication::translate("OptionTable", "DATEI"),
         QCoreApplication::translate(
             "OptionTable",
             "den Befehl für jedes Display in DATEI ausführen: eine Adresse je Zeile,\n"
             "dahinter wahlweise ein Name und @Gruppen; # leitet einen Kommentar ein"),
         fleetCommands() << Command::serve,
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             if (v.isEmpty())
                 return QCoreApplication::translate("OptionTable", "--targets braucht eine Datei.");
             i.targets = v;
             return std::nullopt;
         },
         true},
        {"parallel",
         {},
         "N",
         QCoreApplication::translate("OptionTable",
                                     "mit --targets: so viele Displays gleichzeitig (Vorgabe 64)"),
         fleetCommands(),
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.parallel = wholeNumber(v, 1, maxParallel);
             return checked(
                 i.parallel.has_value(), "parallel", v,
                 QCoreApplication::translate("OptionTable", "eine ganze Zahl von 1 bis %1")
                     .arg(maxParallel));
         },
         true},
        {"retries",
         {},
         "N",
         QCoreApplication::translate(
             "OptionTable",
             "mit --targets: ein nicht erreichbares oder stummes Display bis zu N-mal\n"
             "erneut versuchen (Vorgabe 0)"),
         fleetCommands(),
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.retries = wholeNumber(v, 0, maxRetries);
             return checked(
                 i.retries.has_value(), "retries", v,
                 QCoreApplication::translate("OptionTable", "eine ganze Zahl von 0 bis %1")
                     .arg(maxRetries));
         },
         true},
        {"group",
         {},
         QCoreApplication::translate("OptionTable", "NAME"),
         QCoreApplication::translate(
             "OptionTable", "mit --targets: nur die Displays der Gruppe @NAME (mehrfach möglich)"),
         fleetCommands() << Command::serve,
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             const QString name = v.startsWith(u'@') ? v.mid(1) : v;
             if (name.isEmpty() || name.contains(QRegularExpression(QStringLiteral("\\s"))))
                 return invalid(QStringLiteral("group"), v,
                                QCoreApplication::translate("OptionTable",
                                                            "einen Gruppennamen ohne Leerzeichen"));
             i.groups.append(name);
             return std::nullopt;
         },
         true},
        {"metrics",
         {},
         QCoreApplication::translate("OptionTable", "[HOST:]PORT"),
         QCoreApplication::translate("OptionTable",
                                     "serve: Prometheus-Metriken unter http://HOST:PORT/metrics\n"
                                     "(Vorgabe 127.0.0.1:9787; ohne HOST nur lokal)"),
         {Command::serve},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             static const QRegularExpression form(
                 QStringLiteral("^(?:(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9.-]+):)?([0-9]{1,5})$"));
             const auto match = form.match(v);
             const int port = match.hasMatch() ? match.captured(2).toInt() : 0;
             if (port < 1 || port > 65535)
                 return invalid(QStringLiteral("metrics"), v,
                                QCoreApplication::translate("OptionTable",
                                                            "PORT oder HOST:PORT, z. B. 9787 "
                                                            "oder 0.0.0.0:9787"));
             const QString host =
                 match.captured(1).isEmpty() ? QStringLiteral("127.0.0.1") : match.captured(1);
             i.metrics = host + u':' + QString::number(port);
             return std::nullopt;
         }},
        {"textfile",
         {},
         QCoreApplication::translate("OptionTable", "DATEI"),
         QCoreApplication::translate("OptionTable",
                                     "serve: die Metriken nach jeder Abfragerunde in DATEI\n"
                                     "(für den Textfile-Collector von node_exporter)"),
         {Command::serve},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             if (v.isEmpty())
                 return QCoreApplication::translate("OptionTable",
                                                    "--textfile braucht eine Datei.");
             i.textfile = v;
             return std::nullopt;
         }},
        {"mqtt",
         {},
         QCoreApplication::translate("OptionTable", "URL"),
         QCoreApplication::translate(
             "OptionTable", "serve: die Displays über den MQTT-Broker URL in Home Assistant\n"
                            "(mqtt://HOST[:PORT], mqtts://HOST[:PORT] mit TLS)"),
         {Command::serve},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             auto parsed = MqttAddress::parse(v);
             if (const QString* error = std::get_if<QString>(&parsed))
                 return *error;
             i.mqtt = std::get<MqttAddress>(parsed);
             return std::nullopt;
         }},
        {"mqtt-credentials",
         {},
         QCoreApplication::translate("OptionTable", "DATEI"),
         QCoreApplication::translate(
             "OptionTable",
             "serve: Benutzer und Passwort für den Broker aus DATEI (user=…, password=…);\n"
             "sonst aus BILDWART_MQTT_USER und BILDWART_MQTT_PASSWORD"),
         {Command::serve},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             if (v.isEmpty())
                 return QCoreApplication::translate("OptionTable",
                                                    "--mqtt-credentials braucht eine Datei.");
             i.mqttCredentials = v;
             return std::nullopt;
         }},
        {"probe-any",
         {},
         {},
         QCoreApplication::translate(
             "OptionTable",
             "serve: /probe?target= auch für Netzwerkadressen, die nicht in der Zieldatei stehen"),
         {Command::serve},
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.probeAny = true;
             return std::nullopt;
         }},
        {"direct",
         {},
         {},
         QCoreApplication::translate(
             "OptionTable",
             "die Schnittstelle selbst öffnen, auch wenn eine laufende Sitzung (das Fenster,\n"
             "bildwartctl serve) sie hält – dann meist „belegt“"),
         sharedCommands(),
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.direct = true;
             return std::nullopt;
         }},
        {"poll",
         {},
         QCoreApplication::translate("OptionTable", "SEKUNDEN"),
         QCoreApplication::translate("OptionTable",
                                     "serve: jedes Display so oft abfragen (Vorgabe 30)"),
         {Command::serve},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.pollInterval = seconds(v, 1, 3600);
             return checked(i.pollInterval.has_value(), "poll", v,
                            QCoreApplication::translate("OptionTable", "Sekunden von 1 bis 3600"));
         }},
        {"json",
         {},
         {},
         QCoreApplication::translate(
             "OptionTable",
             "Ergebnis als ein JSON-Objekt ausgeben (mit --targets: eines je Display und Zeile)"),
         {},
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.json = true;
             return std::nullopt;
         }},
        {"verbose",
         u'v',
         {},
         QCoreApplication::translate("OptionTable",
                                     "Verkehrsprotokoll auf stderr: → gesendet, ← empfangen,\n"
                                     "ℹ\uFE0E Hinweis, ⚠\uFE0E Fehler, ⚡\uFE0E am Gerät geändert"),
         {},
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.verbose = true;
             return std::nullopt;
         }},
        {"hex",
         {},
         {},
         QCoreApplication::translate(
             "OptionTable",
             "Bytes als Hex zeigen (mit -v und monitor);\nbei raw: DATEN sind Hex-Bytes"),
         {},
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.hex = true;
             return std::nullopt;
         }},
        {"duration",
         {},
         QCoreApplication::translate("OptionTable", "SEKUNDEN"),
         QCoreApplication::translate("OptionTable",
                                     "monitor: so lange mitschreiben (Vorgabe: bis Strg+C)"),
         {Command::monitor},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.duration = duration(v);
             return checked(i.duration.has_value(), "duration", v, durationExpected());
         }},
        {"count",
         {},
         "N",
         QCoreApplication::translate("OptionTable",
                                     "loopback: Pakete (Vorgabe 10); testout: Pakete (Vorgabe 1)"),
         {Command::loopback, Command::testout},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.count = wholeNumber(v, 1, maxCount);
             return checked(
                 i.count.has_value(), "count", v,
                 QCoreApplication::translate("OptionTable", "eine ganze Zahl von 1 bis 1000000"));
         }},
        {"size",
         {},
         QCoreApplication::translate("OptionTable", "BYTES"),
         QCoreApplication::translate("OptionTable",
                                     "loopback: Bytes je Paket, 8 bis 65536 (Vorgabe 32)"),
         {Command::loopback},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.packetSize =
                 wholeNumber(v, LoopbackStats::minPacketSize, LoopbackStats::maxPacketSize);
             return checked(
                 i.packetSize.has_value(), "size", v,
                 QCoreApplication::translate("OptionTable", "eine ganze Zahl von 8 bis 65536"));
         }},
        {"pattern",
         {},
         QCoreApplication::translate("OptionTable", "NAME"),
         QCoreApplication::translate("OptionTable",
                                     "testout: Testmuster (siehe unten, Vorgabe counterLine)"),
         {Command::testout},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.pattern = caseNamed(v, allTestPatterns(), &rawValue);
             return checked(
                 i.pattern.has_value(), "pattern", v,
                 QCoreApplication::translate("OptionTable", "einen der Namen unter „Testmuster“"));
         }},
        {"interval",
         {},
         QCoreApplication::translate("OptionTable", "SEKUNDEN"),
         QCoreApplication::translate("OptionTable", "testout: Abstand der Pakete (Vorgabe 1)"),
         {Command::testout},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             // Below the tester's shortest pause the packets would not come as often as asked.
             i.interval = seconds(v, LineTester::minimumTestInterval, maxSeconds);
             return checked(
                 i.interval.has_value(), "interval", v,
                 QCoreApplication::translate("OptionTable", "Sekunden von %1 bis höchstens %2")
                     .arg(number(LineTester::minimumTestInterval), number(maxSeconds)));
         }},
        {"series",
         {},
         "qx|rx",
         QCoreApplication::translate("OptionTable",
                                     "simulate: Baureihe des virtuellen Displays (Vorgabe qx)"),
         {Command::simulate},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             i.series = displaySeriesFromRaw(v.toUpper());
             return checked(i.series.has_value(), "series", v,
                            QCoreApplication::translate("OptionTable", "qx oder rx"));
         }},
        {"loopback",
         {},
         {},
         QCoreApplication::translate("OptionTable",
                                     "simulate: Brückenstecker statt Display (jedes Byte zurück)"),
         {Command::simulate},
         [](Invocation& i, const QString&) -> std::optional<QString> {
             i.loopback = true;
             return std::nullopt;
         }},
        {"link",
         {},
         QCoreApplication::translate("OptionTable", "PFAD"),
         QCoreApplication::translate(
             "OptionTable", "simulate: symbolischen Link PFAD auf das Pseudo-Terminal anlegen"),
         {Command::simulate},
         [](Invocation& i, const QString& v) -> std::optional<QString> {
             if (v.isEmpty())
                 return QCoreApplication::translate("OptionTable", "--link braucht einen Pfad.");
             i.link = v;
             return std::nullopt;
         }},
    };
}

// What "status" reports, named by the first and the last setting of the table.
QString statusHelp()
{
    const QList<SettingInfo>& settings = displaySettings();
    return QCoreApplication::translate(
               "OptionTable", "verbinden, alle Werte abfragen und ausgeben (%1 … %2, series)")
        .arg(settings.first().name, settings.last().name);
}

// What "set" takes, setting by setting as the table has them.
QString setHelp()
{
    QStringList powerWords;
    for (PowerState state : availablePowerStates(DisplaySeries::qx))
        powerWords.append(rawValue(state));
    QStringList levels;
    QStringList toggles;
    QString input;
    for (const SettingInfo& row : displaySettings()) {
        if (row.kind == SettingKind::level)
            levels.append(QStringLiteral("%1 %2…%3|+N|-N")
                              .arg(row.name)
                              .arg(row.range.minimum)
                              .arg(row.range.maximum));
        else if (row.kind == SettingKind::toggle)
            toggles.append(row.name);
        else if (row.kind == SettingKind::input)
            input = row.name + u' ' + InputSource::all().first().id + u'…' +
                    InputSource::all().last().id;
    }
    return QCoreApplication::translate("OptionTable",
                                       "eine Einstellung ändern und den neuen Wert ausgeben:\n%1")
        .arg(QStringLiteral("power ") + powerWords.join(u'|') + QStringLiteral(", ") + input +
             QStringLiteral(",\n") + levels.join(QStringLiteral(", ")) + QStringLiteral(",\n") +
             toggles.join(u'|') + QStringLiteral(" on|off"));
}

} // namespace

const QList<OptionDefinition>& optionTable()
{
    static const QList<OptionDefinition> table = buildOptionTable();
    return table;
}

const QList<CommandDefinition>& commandTable()
{
    static const QList<CommandDefinition> table{
        {"ports",
         Command::ports,
         {},
         QCoreApplication::translate("OptionTable",
                                     "Schnittstellen und Wandler ohne Port mit Rat auflisten"),
         0,
         0},
        {"status", Command::status, {}, statusHelp(), 0, 0},
        {"get", Command::get, QCoreApplication::translate("OptionTable", "NAME"),
         QCoreApplication::translate("OptionTable", "einen Wert abfragen, z. B. get volume"), 1, 1},
        {"set", Command::set, QCoreApplication::translate("OptionTable", "NAME WERT"), setHelp(), 2,
         2},
        {"send", Command::send, QCoreApplication::translate("OptionTable", "ZEILE…"),
         QCoreApplication::translate(
             "OptionTable",
             "freie Befehlszeilen nacheinander senden und jede Antwortzeile ausgeben"),
         1, -1},
        {"raw", Command::raw, QCoreApplication::translate("OptionTable", "[--hex] DATEN"),
         QCoreApplication::translate(
             "OptionTable",
             "Rohdaten senden (Text mit Zeilenende, Hex-Bytes genau so) und ausgeben,\n"
             "was innerhalb der Antwortzeit zurückkommt"),
         1, 1},
        {"monitor", Command::monitor,
         QCoreApplication::translate("OptionTable", "[--duration SEKUNDEN]"),
         QCoreApplication::translate(
             "OptionTable",
             "verbinden und das Verkehrsprotokoll live ausgeben, auch #name=wert-Meldungen"),
         0, 0},
        {"loopback", Command::loopback,
         QCoreApplication::translate("OptionTable", "[--count N] [--size BYTES]"),
         QCoreApplication::translate(
             "OptionTable",
             "Brückenstecker-Test (Pin 2 an Pin 3): fehlerhafte Pakete, Summe, Laufzeiten"),
         0, 0},
        {"testout", Command::testout,
         QCoreApplication::translate("OptionTable",
                                     "[--pattern NAME] [--count N] [--interval SEKUNDEN]"),
         QCoreApplication::translate("OptionTable",
                                     "Testausgabe für ein Terminalprogramm am anderen Ende"),
         0, 0},
        {"simulate", Command::simulate,
         QCoreApplication::translate("OptionTable", "[--series qx|rx] [--loopback] [--link PFAD]"),
         QCoreApplication::translate(
             "OptionTable", "virtuelles Display auf einem Pseudo-Terminal bis Strg+C oder SIGTERM"),
         0, 0},
        {"serve", Command::serve,
         QCoreApplication::translate("OptionTable", "-p PORT … | --targets DATEI"),
         QCoreApplication::translate(
             "OptionTable",
             "die Leitungen halten, abfragen, nach einem Abriss wieder verbinden und über\n"
             "einen Unix-Socket teilen, bis SIGTERM; bildwartctl-Aufrufe für diese Ports\n"
             "gehen dann durch die Sitzung"),
         0, 0},
        {"doctor", Command::doctor, QCoreApplication::translate("OptionTable", "[PORT]"),
         QCoreApplication::translate(
             "OptionTable",
             "sagen, warum eine Schnittstelle nicht geht und was hilft: für jeden Port\n"
             "und jeden Wandler ohne Port, oder nur für PORT; Rückgabewert 1, wenn\n"
             "etwas gefunden wurde"),
         0, 1},
    };
    return table;
}

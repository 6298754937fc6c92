// bildwartctl end to end: the built binary against its own simulator ("simulate --link" in
// the background). The children see a private XDG_CONFIG_HOME, never the user's settings.
#include "Pty.h"
#include "ScriptedDisplay.h"
#include "Ser2net.h"
#include "Support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace {

// Generous: the children may run under a sanitizer on a busy two-core machine.
constexpr int processTimeoutMs = 60'000;
constexpr int simulatorReadyTimeoutMs = 20'000;

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

QProcessEnvironment childEnvironment(const QString& configHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

// "simulate --link" in the background for as long as the object lives.
class Simulator {
public:
    Simulator(const QString& configHome, const QString& link, const QStringList& extra = {})
    {
        m_process.setProcessEnvironment(childEnvironment(configHome));
        m_process.start(QStringLiteral(BILDWARTCTL),
                        QStringList{QStringLiteral("simulate"), QStringLiteral("--link"), link} +
                            extra);
        // The device path comes once the pseudo-terminal and the link are there.
        m_ready =
            m_process.waitForReadyRead(simulatorReadyTimeoutMs) && QFileInfo(link).isSymLink();
    }
    ~Simulator() { stop(); }

    bool isReady() const { return m_ready; }
    // As the out-of-memory killer or "kill -9" ends it: no clean-up of any kind.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(processTimeoutMs);
    }

    // SIGTERM, as a service manager sends it; returns the exit code.
    int stop()
    {
        m_process.terminate();
        if (m_process.state() != QProcess::NotRunning &&
            !m_process.waitForFinished(processTimeoutMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

class BildwartctlTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    QString link() const { return m_dir.filePath(QStringLiteral("dev")); }

    // The tool (or `program`) with these arguments, the event loop running for a display here.
    Result run(const QStringList& arguments, const QString& program = BILDWARTCTL) const
    {
        QProcess process;
        process.setProcessEnvironment(childEnvironment(configHome()));
        process.start(program, arguments);
        if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, processTimeoutMs))
            return {-1, {}, QStringLiteral("timed out")}; // QProcess kills it
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // `arguments` against a simulator of its own, started with `simulator`.
    Result runOnSimulator(const QStringList& simulator, const QStringList& arguments,
                          const QString& program = BILDWARTCTL) const
    {
        Simulator running(configHome(), link(), simulator);
        if (!running.isReady())
            return {-1, {}, QStringLiteral("the simulator did not start")};
        return run(arguments, program);
    }

private slots:
    void init() { QVERIFY(QDir().mkpath(configHome())); }

    // One command against a fresh virtual display (qx: volume 30, input hdmi1), a bridge plug
    // that returns every byte, or without -p (""). A "shell" script runs what QProcess cannot
    // set up, with the tool as $0, the display's link as $1 and the test folder as $2.
    void exchanges_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* tag, const char* device, const QStringList& arguments,
                            int exitCode, const char* out, const QString& err = {}) {
            QTest::newRow(tag) << device << arguments << exitCode << out << err;
        };

        row("status as json", "qx", {"status", "--json"}, 0,
            R"({"brightness":80,"fwversion":"1.07.0021","input":"hdmi1","micmute":false,)"
            R"("modelnum":"SBID-QX286","mute":false,"partnum":"1033157 REV A","powerstate":"on",)"
            R"("screenshade":false,"serialnum":"SIM0000001","series":"QX",)"
            R"("statereporting":false,"videofreeze":false,"volume":30})"
            "\n");
        row("set as json", "qx", {"set", "volume", "+5", "--json"}, 0, "{\"volume\":35}\n");
        row("get unknown", "qx", {"get", "foo"}, 1, "", "Display meldet: invalid cmd\n");
        row("send refused", "qx", {"send", "set volume=loud"}, 1, "invalid val\n",
            "Display meldet: invalid val\n");
        // Each line after the prompt of the one before: no merging of the two.
        row("send as json", "qx", {"--json", "send", "get volume", "get foo"}, 1,
            R"({"replies":[{"command":"get volume","lines":["volume=30"]},)"
            R"({"command":"get foo","lines":["invalid cmd"]}]})"
            "\n",
            "Display meldet: invalid cmd\n");
        row("raw, no prompt", "qx", {"--timeout", "0.3", "raw", "--hex", "55AA"}, 1, "",
            "Nichts zurückgekommen innerhalb von 0.3 s.\n");
        row("raw hex", "bridge", {"raw", "--hex", "55AA"}, 0, "55 AA\n");
        // Text goes out with the line ending; the answer is printed as it came.
        row("raw text", "bridge", {"raw", "Hi"}, 0, "Hi\r");
        // A display is no bridge plug: it refuses the packet, and the run ends there.
        row("loopback against a display", "qx", {"loopback", "--count", "2"}, 1,
            "Brückentest #1: Display angeschlossen, kein Brückenstecker\n"
            "1 Pakete, 0 in Ordnung, 1 fehlerhaft, 0 verloren\n"
            "Umlaufzeit: – (kein Paket kam in Ordnung zurück)\n",
            "Brückentest: 1 von 1 Paketen nicht in Ordnung.\n");
        // The parser's usage errors: test_ctl_parts; a failed open: linesThatAreNone.
        row("no port known", "", {"status"}, 2, "",
            "Keine Schnittstelle angegeben und keine zuletzt verbundene bekannt – mit -p "
            "angeben, z. B. -p /dev/ttyUSB0 oder -p simulator://smart.\n");
        // A result that cannot be written is a failure; a path whose bytes are no UTF-8 opens.
        const QString unwritten = "Die Ausgabe ließ sich nicht schreiben: ";
        row("full disk", "shell", {R"(exec "$0" -p "$1" get volume > /dev/full)"}, 1, "",
            unwritten + systemText(ENOSPC) + "\n");
        row("closed stdout", "shell", {R"(exec "$0" -p "$1" get volume >&-)"}, 1, "",
            unwritten + systemText(EBADF) + "\n");
        row("path that is no UTF-8", "shell",
            {R"(odd=$(printf "$2/ger\344t"); ln -s "$1" "$odd" && "$0" -p "$odd" get volume; e=$?; rm "$odd"; exit $e)"},
            0, "volume=30\n");
        // The tool writes no file of its own, so a temporary folder it cannot use is no matter.
        row("no usable TMPDIR", "shell", {R"(TMPDIR=/proc/nicht-da exec "$0" -p "$1" get volume)"},
            0, "volume=30\n");
    }

    void exchanges()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QStringList onLink = QStringList{"-p", link()} + arguments;
        const Result result =
            device.isEmpty()     ? run(arguments)
            : device == "bridge" ? runOnSimulator({"--loopback"}, onLink)
            : device == "shell"
                ? runOnSimulator({}, {"-c", arguments.first(), BILDWARTCTL, link(), m_dir.path()},
                                 "/bin/sh")
                : runOnSimulator({}, onLink);
        QCOMPARE(result.err, err);
        QCOMPARE(result.out, out);
        QCOMPARE(result.exitCode, exitCode);
    }

    // What scripts and cron jobs rely on, run as a shell script against a simulator: the tool
    // as $0, the display's link as $1, the test folder as $2 (each row writes its own files).
    void scriptable_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("outHas");
        QTest::addColumn<QStringList>("errHas");
        QTest::addColumn<QStringList>("outLacks");
        const auto row = [](const char* tag, const char* script, int exitCode,
                            const QStringList& outHas, const QStringList& errHas = {},
                            const QStringList& outLacks = {}) {
            QTest::newRow(tag) << script << exitCode << outHas << errHas << outLacks;
        };
        const char* fleet =
            R"(printf '%s A @og2\n#tcp://127.0.0.1:1 aus\ntcp://127.0.0.1:1 B @eg\n' "$1" > "$2/t"; )";
        row("a target switched off by # is no error",
            R"(printf '#tcp://127.0.0.1:1 B\n%s A\n' "$1" > "$2/t"; exec "$0" --targets "$2/t" get volume)",
            0, {"A: volume=30\n"}, {"1 Display: 1 in Ordnung"});
        row("a fleet's error is the target's own, never its log",
            (QByteArray(fleet) + R"(exec "$0" -v --targets "$2/t" get volume)").constData(), 3,
            {"A: volume=30\nB: Fehler – 127.0.0.1:1 lehnt die Verbindung ab"},
            {"A: ", "→ get volume"}, {"Verbunden"});
        row("groups",
            (QByteArray(fleet) + R"(exec "$0" --targets "$2/t" --group og2 --json get volume)")
                .constData(),
            0, {"\"groups\":[\"og2\"],\"name\":\"A\",\"ok\":true,\"result\":{\"volume\":30}"}, {},
            {"127.0.0.1:1"});
        row("retries",
            (QByteArray(fleet) +
             R"(exec "$0" --targets "$2/t" --group eg --retries 1 --json get volume)")
                .constData(),
            3, {"\"attempts\":2,\"error\":\"127.0.0.1:1 lehnt die Verbindung ab"});
        row("control bytes in a name, plain",
            R"(printf '%s \033]0;T\007 \000Raum\n' "$1" > "$2/t"; exec "$0" --targets "$2/t" get volume)",
            0, {"\\x1b]0;T\\x07 \\0Raum: volume=30\n"}, {}, {"\x1b"});
        row("control bytes in a name, JSON",
            R"(printf '%s \033]0;T\007\n' "$1" > "$2/t"; exec "$0" --targets "$2/t" --json get volume)",
            0, {"\"name\":\"\\u001b]0;T\\u0007\""}, {}, {"\x1b"});
        row("control bytes in a path", "exec \"$0\" -p \"$(printf \"$2/a\\033b\")\" get volume", 3,
            {}, {"/a\\x1bb"});
        row("what came before an error",
            R"(printf '%s A\n' "$1" > "$2/t"; exec "$0" --targets "$2/t" send "get volume" "get foo")",
            1, {"A: volume=30 invalid cmd · Fehler – Display meldet: invalid cmd\n"});
        row("doctor on a simulator's link", R"(exec "$0" doctor "$1")", 0,
            {"(Display-Simulator von bildwartctl, PID ", "keine Auffälligkeiten"});
        row("doctor on /dev/null", R"(exec "$0" doctor /dev/null)", 1,
            {"[not-a-terminal]: /dev/null ist keine serielle Schnittstelle, sondern ein Gerät"}, {},
            {"PID"});
        row("doctor on a folder", R"(exec "$0" doctor "$2")", 1, {"sondern ein Ordner"});
        row("an unreadable store is named",
            R"(mkdir -p "$2/c1/Halvorn/Bildwart.conf"; XDG_CONFIG_HOME="$2/c1" exec "$0" status)",
            2, {}, {"Bildwart.conf sind nicht lesbar: ist ein Ordner", "keine zuletzt verbundene"});
        row("a damaged stored value is named, without Qt's own words",
            R"(mkdir -p "$2/c2/Halvorn"; printf '[General]\nserialSettings=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10XYZ)\n' > "$2/c2/Halvorn/Bildwart.conf"; XDG_CONFIG_HOME="$2/c2" exec "$0" -p "$1" get volume)",
            0, {"volume=30\n"}, {"Warnung: Gespeicherter Wert „serialSettings“ ist unlesbar"});
        row("test output faster than it can go", R"(exec "$0" -p "$1" testout --interval 0.001)", 2,
            {}, {"erwartet Sekunden von 0"});
        row("a folder as targets file", R"(exec "$0" --targets "$2" get volume)", 2, {},
            {"lässt sich nicht lesen: ist ein Ordner"});
    }
    void scriptable()
    {
        QFETCH(QString, script);
        QFETCH(int, exitCode);
        QFETCH(QStringList, outHas);
        QFETCH(QStringList, errHas);
        QFETCH(QStringList, outLacks);
        const Result result =
            runOnSimulator({}, {"-c", script, BILDWARTCTL, link(), m_dir.path()}, "/bin/sh");
        for (const QString& part : outHas)
            QVERIFY2(result.out.contains(part), qPrintable(result.out + result.err));
        for (const QString& part : outLacks)
            QVERIFY2(!result.out.contains(part), qPrintable(result.out));
        for (const QString& part : errHas)
            QVERIFY2(result.err.contains(part), qPrintable(result.err));
        QVERIFY2(!result.err.contains(u'\x1b'), qPrintable(result.err));
        QCOMPARE(result.exitCode, exitCode);
    }

    // Ctrl+C, SIGTERM and SIGHUP end every command with 128 + N, after what it has to say.
    void terminationSignals_data()
    {
        QTest::addColumn<QString>("device"); // "qx", "bridge" or "" for none
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("started"); // on stdout or stderr once it runs
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("outHas");
        QTest::newRow("monitor") << "qx" << QStringList{"monitor"} << "Verbunden mit" << SIGINT
                                 << "Verbunden mit";
        QTest::newRow("monitor, hang-up")
            << "qx" << QStringList{"monitor"} << "Verbunden mit" << SIGHUP << "Verbunden mit";
        QTest::newRow("loopback") << "bridge" << QStringList{"-v", "loopback", "--count", "1000000"}
                                  << "Verbunden mit" << SIGTERM << " Pakete, ";
        QTest::newRow("testout") << "bridge"
                                 << QStringList{"testout", "--count", "100000", "--interval",
                                                "0.05"}
                                 << "Test #1" << SIGINT << "Test #1";
        QTest::newRow("simulate") << "" << QStringList{"simulate"} << "/dev/pts/" << SIGTERM
                                  << "/dev/pts/";
    }
    void terminationSignals()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, arguments);
        QFETCH(QString, started);
        QFETCH(int, signal);
        QFETCH(QString, outHas);
        std::optional<Simulator> simulator;
        if (!device.isEmpty()) {
            simulator.emplace(configHome(), link(),
                              device == "bridge" ? QStringList{"--loopback"} : QStringList{});
            QVERIFY(simulator->isReady());
            arguments = QStringList{"-p", link()} + arguments;
        }
        QProcess process;
        process.setProcessEnvironment(childEnvironment(configHome()));
        process.start(BILDWARTCTL, arguments);
        QString out;
        QString err;
        const auto collect = [&] {
            out += QString::fromUtf8(process.readAllStandardOutput());
            err += QString::fromUtf8(process.readAllStandardError());
            return out.contains(started) || err.contains(started);
        };
        QVERIFY2(waitUntil(collect, processTimeoutMs), qPrintable(out + err));
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(
            waitUntil([&] { return process.state() == QProcess::NotRunning; }, processTimeoutMs));
        collect();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QVERIFY2(out.contains(outHas), qPrintable(out));
    }

    // A fleet is one process: the displays it waits for have no process of their own. Stopped,
    // it says something of every display of the file, in its order.
    void fleetStopped()
    {
        QTcpServer silent; // takes connections and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QList<QTcpSocket*> accepted;
        QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&] {
            while (QTcpSocket* socket = silent.nextPendingConnection())
                accepted.append(socket);
        });
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(silent.serverPort());
        const QString targets = m_dir.filePath("still.txt");
        QFile file(targets);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("%1 A\n%1 B\n%1 C\n").arg(address).toUtf8());
        file.close();

        QProcess process;
        process.setProcessEnvironment(childEnvironment(configHome()));
        process.start(BILDWARTCTL, {"--targets", targets, "--parallel", "2", "--timeout", "60",
                                    "--json", "get", "volume"});
        QVERIFY(waitUntil([&] { return accepted.size() == 2; }, processTimeoutMs));
        QDir tasks(QStringLiteral("/proc/%1/task").arg(process.processId()));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks.filePath(task + "/children"));
            QVERIFY(children.open(QIODevice::ReadOnly));
            QCOMPARE(children.readAll(), QByteArray());
        }
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(
            waitUntil([&] { return process.state() == QProcess::NotRunning; }, processTimeoutMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + SIGTERM);
        const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), 4); // and the last line's end
        for (int i = 0; i < 3; ++i) {
            const QJsonObject line = QJsonDocument::fromJson(lines.at(i)).object();
            QCOMPARE(line["name"].toString(), QString(QChar(u'A' + i)));
            QCOMPARE(line["ok"], QJsonValue(false));
            QCOMPARE(line["error"].toString(), QStringLiteral("abgebrochen"));
        }
        QVERIFY(process.readAllStandardError().contains("3 abgebrochen"));
    }

    // A set is done only when the display answered it with the value; else the value it has.
    void setsNotTaken_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("err");
        QTest::newRow("clamped") << QByteArray("\r\nvolume=35\r\n>")
                                 << "Das Display hat den Wert nicht übernommen – es meldet "
                                    "volume=35.\n";
        QTest::newRow("no echo") << QByteArray("\r\n>")
                                 << "Das Display hat den Wert nicht übernommen – es meldet "
                                    "volume=30.\n";
        QTest::newRow("refused") << QByteArray("\r\ninvalid val\r\n>")
                                 << "Das Display hat den Wert nicht übernommen – es meldet "
                                    "volume=30.\nDisplay meldet: invalid val\n";
    }
    void setsNotTaken()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, err);
        Pty pty;
        ScriptedDisplay display(pty.master(), [&](const QString& line) {
            return line == u"set volume=40" ? reply : answerEverything(line);
        });
        const Result result = run({"-p", pty.slavePath(), "set", "volume", "40"});
        QCOMPARE(result.err, err);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.exitCode, 1);
    }

    // A malformed address is a usage error that says what is wrong (exit 2), a path that is no
    // serial interface says so (exit 3).
    void linesThatAreNone_data()
    {
        QTest::addColumn<QString>("port"); // %1: the test folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err"); // how stderr begins
        const auto invalid = [](const char* port, const char* why) {
            QTest::newRow(port) << port << 2
                                << QStringLiteral(
                                       "„%1“ ist keine gültige Adresse: %2 – gültig sind ")
                                       .arg(port, why);
        };
        invalid("tcp://127.0.0.1:99999", "der Port muss eine Zahl von 1 bis 65535 sein");
        invalid("tcp://", "Rechner und Port fehlen");
        invalid("tcp://host", "der Port fehlt („:PORT“)");
        invalid("tcp://host:0", "der Port muss eine Zahl von 1 bis 65535 sein");
        invalid("rfc2217://[::1:5000",
                "die eckige Klammer um die IPv6-Adresse ist nicht geschlossen");
        invalid("tcp://::1:5000", "eine IPv6-Adresse gehört in eckige Klammern");
        invalid("ftp://host:21", "„ftp://“ kennt Bildwart nicht");
        for (const char* path : {"/dev/null", "%1/datei", "%1/fifo", "%1"})
            QTest::newRow(path) << path << 3 << "%2 ist keine serielle Schnittstelle\n";
    }
    void linesThatAreNone()
    {
        QFETCH(QString, port);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFile(m_dir.filePath("datei")).open(QIODevice::WriteOnly);
        ::mkfifo(m_dir.filePath("fifo").toLocal8Bit().constData(), 0600);
        port.replace("%1", m_dir.path());
        const Result result = run({"-p", port, "get", "volume"});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.startsWith(err.replace("%2", port)), qPrintable(result.err));
        QCOMPARE(result.err.count(u'\n'), 1);
        QCOMPARE(result.out, QString());
    }

    // The line tests on a bridge plug: round trips measured, and the test output as sent.
    void lineTests()
    {
        Simulator bridge(configHome(), link(), {"--loopback"});
        QVERIFY(bridge.isReady());
        // Far larger packets than a pseudo-terminal holds, on a simulator process and built in.
        for (const QString& port : {link(), QStringLiteral("simulator://loopback")}) {
            const Result large = run({"-p", port, "loopback", "--size", "65536", "--count", "2"});
            QCOMPARE(large.exitCode, 0);
            QVERIFY2(large.out.startsWith("2 Pakete, 2 in Ordnung"), qPrintable(large.out));
        }
        Result result = run({"-p", link(), "loopback", "--count", "20", "--json"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QJsonObject stats = QJsonDocument::fromJson(result.out.toUtf8()).object();
        const double min = stats.take("minLatency").toDouble(-1);
        const double median = stats.take("medianLatency").toDouble(-1);
        const double max = stats.take("maxLatency").toDouble(-1);
        QVERIFY(min >= 0 && min <= median && median <= max);
        QCOMPARE(stats, QJsonObject({{"sent", 20},
                                     {"ok", 20},
                                     {"faulty", 0},
                                     {"lost", 0},
                                     {"bytesSent", 640},
                                     {"bytesReceived", 640},
                                     {"latencyTimerMs", QJsonValue::Null}}));

        result = run({"-p", link(), "testout", "--count", "2", "--interval", "0.05"});
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Test #1: Bildwart Test #0001 | 19200 8N1 | "));
        QVERIFY(lines.at(1).startsWith("Test #2: Bildwart Test #0002 | 19200 8N1 | "));
    }

    void monitorShowsTheTraffic()
    {
        // Not a moment before its time: a coarse timer ended a watch of 10 s after 9.6 s.
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        QElapsedTimer watched;
        watched.start();
        const Result result = run({"-p", link(), "monitor", "--duration", "3"});
        QVERIFY2(watched.elapsed() >= 3000, qPrintable(QString::number(watched.elapsed())));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QVERIFY2(result.out.contains("Verbunden mit " + link()), qPrintable(result.out));
        QVERIFY(result.out.contains("→ get modelnum\n"));
        QVERIFY(result.out.contains("← "));
    }

    // The test holds a pseudo-terminal; the tool names the test by its process id, and opens
    // nothing. A simulator's link is no holder; a path that is no terminal has no holders.
    void doctor()
    {
        Pty pty;
        const QString port = pty.slavePath();
        const QString holder = QStringLiteral("(PID %1) hat den Port geöffnet.")
                                   .arg(QCoreApplication::applicationPid());
        const Result plain = run({"doctor", port});
        QCOMPARE(plain.exitCode, 1);
        QVERIFY2(plain.out.contains("\n  Fehler [held-by-process]: ") && plain.out.contains(holder),
                 qPrintable(plain.out));
        const QByteArray json = run({"doctor", "--json", port}).out.toUtf8();
        const QJsonObject finding = QJsonDocument::fromJson(json)[0]["findings"][0].toObject();
        QCOMPARE(finding["id"].toString(), QStringLiteral("held-by-process"));
        QCOMPARE(finding["severity"].toString(), QStringLiteral("error"));
        QVERIFY(finding["text"].toString().endsWith(holder));
        QVERIFY(!finding["fix"].toString().isEmpty());

        const Result missing = run({"doctor", m_dir.filePath("nichts")});
        QCOMPARE(missing.exitCode, 3);
        QVERIFY2(missing.err.contains("gibt es nicht"), qPrintable(missing.err));
        QCOMPARE(run({"doctor", "simulator://smart"}).exitCode, 2);
    }

    void portsAsJson()
    {
        const Result result = run({"ports", "--json"});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject ports = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QVERIFY(ports.value("unboundAdapters").isArray());
        const QJsonArray list = ports.value("ports").toArray();
        QVERIFY(list.size() >= 2);
        const QJsonObject last = list.last().toObject();
        QCOMPARE(last.value("path"), QJsonValue("simulator://loopback"));
        QCOMPARE(last.value("isSimulator"), QJsonValue(true));
    }

    // Only what the display answered in this run counts; a one-shot command sends the
    // prompt request and its own command, nothing else; Ctrl+C ends the wait.
    void answersThatNeverCame()
    {
        Pty pty;
        ScriptedDisplay display(pty.master()); // silent at first: not even a prompt
        Result result = run({"-p", pty.slavePath(), "--timeout", "0.3", "status"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("Keine Antwort auf „⏎“ nach 0.3 s"), qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);

        display.setScript(promptOnly);
        result = run({"-p", pty.slavePath(), "status"});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString()); // nothing that never came, not even a series
        QVERIFY2(result.err.startsWith("Keine Antwort des Displays für 14 von 14 Werten: "
                                       "powerstate, input,"),
                 qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);

        // Boot noise and values, never a prompt: two timeouts, and nothing else goes out.
        display.setScript([](const QString& line) -> QByteArray {
            return line == u"get volume" ? "\r\nvolume=30\r\n" : "\r\nBOOT\r\n";
        });
        result = run({"-p", pty.slavePath(), "-v", "--timeout", "0.3", "get", "volume"});
        QCOMPARE(result.err.count(QStringLiteral(" → ")), 2);
        QCOMPARE(result.out, QString("volume=30\n"));

        // Ctrl+C while the prompt request waits: the line closed, exclusive use included.
        display.setScript({});
        display.lines.clear();
        QProcess process;
        process.setProcessEnvironment(childEnvironment(configHome()));
        process.start(BILDWARTCTL, {"-p", pty.slavePath(), "--timeout", "60", "get", "volume"});
        QVERIFY(waitUntil([&] { return !display.lines.isEmpty(); }, processTimeoutMs));
        int exclusive = 0;
        QCOMPARE(ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(
            waitUntil([&] { return process.state() == QProcess::NotRunning; }, processTimeoutMs));
        QCOMPARE(process.exitCode(), 128 + SIGINT);
        QCOMPARE(ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);
    }

    // A killed simulator's link, or one to another program's pseudo-terminal, is replaced; a
    // running simulator's and a plain file stay. The link is the remembered port; the store stays.
    void simulatorLinksAndTheStore()
    {
        {
            Simulator killed(configHome(), link());
            QVERIFY(killed.isReady());
            killed.kill();
        }
        QVERIFY(QFileInfo(link()).isSymLink());
        Simulator running(configHome(), link());
        QVERIFY2(running.isReady(), "a leftover link was not replaced");
        Result result = run({"simulate", "--link", link()});
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.contains("ein laufender Simulator benutzt (bildwartctl, PID "),
                 qPrintable(result.err));
        const QString storeFolder = configHome() + "/Halvorn";
        QVERIFY(QDir().mkpath(storeFolder));
        const QByteArray before =
            "[General]\nlastPortPath=" + link().toUtf8() + "\npollingEnabled=true\n";
        QFile store(storeFolder + "/Bildwart.conf");
        QVERIFY(store.open(QIODevice::WriteOnly) && store.write(before) == before.size());
        store.close();
        // Every setter of the controller persists; none of it may reach this file.
        result = run({"--baud", "9600", "--parity", "even", "set", "mute", "on"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, QString("mute=on\n"));
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), before);
        QCOMPARE(QDir(storeFolder).entryList(QDir::Files), QStringList{"Bildwart.conf"});
        QCOMPARE(running.stop(), 128 + SIGTERM); // and the link goes
        QVERIFY(!QFileInfo(link()).isSymLink());

        const QString file = m_dir.filePath("datei");
        QFile(file).open(QIODevice::WriteOnly);
        result = run({"simulate", "--link", file});
        QCOMPARE(result.exitCode, 3);
        QCOMPARE(QFileInfo(file).size(), 0);
        QCOMPARE(result.err, file + " gibt es schon und ist kein Link – er wird nicht "
                                    "überschrieben.\n");

        Pty stranger; // another program's pseudo-terminal under the old name
        const QString other = m_dir.filePath("fremd");
        QVERIFY(QFile::link(stranger.slavePath(), other));
        Simulator replacing(configHome(), other);
        QVERIFY(replacing.isReady());
        QVERIFY(QFileInfo(other).symLinkTarget() != stranger.slavePath());
    }

    // Two displays and a gateway not there: a line each, in the file's order; the worst exit.
    void fleet()
    {
        const QString second = m_dir.filePath("dev2");
        Simulator one(configHome(), link());
        Simulator two(configHome(), second, {"--series", "rx"});
        QVERIFY(one.isReady() && two.isReady());
        const QString targets = m_dir.filePath("ziele.txt");
        QFile file(targets);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString gone = QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2net::freePort());
        file.write(QStringLiteral("%1 Raum 1\n%2 # ohne Namen\n%3 Raum 3\n")
                       .arg(link(), gone, second)
                       .toUtf8());
        file.close();

        Result result = run({"--targets", targets, "--parallel", "2", "get", "modelnum"});
        QCOMPARE(result.exitCode, 3);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QString("Raum 1: modelnum=SBID-QX286"));
        QVERIFY2(lines.at(1).startsWith(gone + ": Fehler – 127.0.0.1:"), qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2), QString("Raum 3: modelnum=SBID-RX086"));
        QCOMPARE(result.err, "3 Displays: 2 in Ordnung, 0 mit Fehler, 1 nicht erreichbar.\n");

        result = run({"--targets", targets, "--json", "get", "foo"});
        QCOMPARE(result.exitCode, 3);
        const QStringList json = result.out.split('\n');
        QCOMPARE(json.value(0),
                 QString(R"({"attempts":1,"error":"Display meldet: invalid cmd","groups":[],)"
                         R"("name":"Raum 1","ok":false,"result":null,"target":"%1"})")
                     .arg(link()));
        QVERIFY2(json.value(1).contains(R"("name":null,)"), qPrintable(json.value(1)));
    }
};

QTEST_GUILESS_MAIN(BildwartctlTest)
#include "test_bildwartctl.moc"

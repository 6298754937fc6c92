// bildwartctl end to end: the built binary against its own simulator, started in the
// background with "simulate --link". The child processes see a private
// XDG_CONFIG_HOME, so the user's settings are never read or touched.
#include "Pty.h"
#include "ScriptedDisplay.h"
#include "Ser2net.h"
#include "Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/ioctl.h>

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
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool isReady() const { return m_ready; }
    // As the out-of-memory killer or "kill -9" ends it: no clean-up of any kind.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(processTimeoutMs);
    }

    // SIGTERM, as a service manager sends it; returns the exit code. A simulator that
    // does not end is killed by QProcess.
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

QJsonObject jsonObject(const QString& text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

} // namespace

class BildwartctlTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    QString link() const { return m_dir.filePath(QStringLiteral("dev")); }

    // The tool with these arguments; the event loop runs meanwhile, so that a display
    // played in this process answers it. `program` runs instead when given (a shell).
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

    // The tool through the shell, for what QProcess cannot set up: a closed stdout,
    // a path whose bytes are no UTF-8.
    Result runInShell(const QString& script) const
    {
        return run({"-c", script, BILDWARTCTL}, QStringLiteral("/bin/sh"));
    }

    Result runOnLink(const QStringList& arguments) const
    {
        return run(QStringList{QStringLiteral("-p"), link()} + arguments);
    }

    // Against a simulator of its own: "simulate --link" with these extra arguments.
    Result runOnSimulator(const QStringList& arguments, const QStringList& simulator = {}) const
    {
        Simulator running(configHome(), link(), simulator);
        if (!running.isReady())
            return {-1, {}, QStringLiteral("the simulator did not start")};
        return runOnLink(arguments);
    }

private slots:
    void init() { QVERIFY(QDir().mkpath(configHome())); }

    void statusAsJson()
    {
        const Result result = runOnSimulator({"status", "--json"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        const QJsonObject status = jsonObject(result.out);
        QCOMPARE(status.value("modelnum"), QJsonValue("SBID-QX286"));
        QCOMPARE(status.value("series"), QJsonValue("QX"));
        QCOMPARE(status.value("volume"), QJsonValue(30)); // numbers and switches typed
        QCOMPARE(status.value("mute"), QJsonValue(false));
        QCOMPARE(status.value("powerstate"), QJsonValue("on"));
        for (const char* key : {"input", "micmute", "brightness", "videofreeze", "screenshade",
                                "statereporting", "serialnum", "partnum", "fwversion"})
            QVERIFY2(!status.value(key).isNull() && !status.value(key).isUndefined(),
                     qPrintable(key));
    }

    // One command against a fresh virtual display (QX: volume 30, input hdmi1) or a
    // bridge plug that returns every byte.
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* tag, const QStringList& simulator,
                            const QStringList& arguments, int exitCode, const char* out,
                            const char* err = "") {
            QTest::newRow(tag) << simulator << arguments << exitCode << out << err;
        };
        const QStringList qx;
        const QStringList loopback{"--loopback"};
        row("volume up", qx, {"set", "volume", "+5"}, 0, "volume=35\n");
        row("set as json", qx, {"set", "volume", "+5", "--json"}, 0, "{\"volume\":35}\n");
        row("get", qx, {"get", "volume"}, 0, "volume=30\n");
        row("get unknown", qx, {"get", "foo"}, 1, "", "Display meldet: invalid cmd\n");
        row("refused action", {"--series", "rx"}, {"set", "power", "ready"}, 1, "",
            "Display meldet: invalid val\n");
        // Each line after the prompt of the one before: no merging of the two.
        row("send two sets", qx, {"send", "set volume=10", "set volume=20"}, 0,
            "volume=10\nvolume=20\n");
        // The answer is printed like any other; the error goes to stderr as well.
        row("send refused", qx, {"send", "set volume=loud"}, 1, "invalid val\n",
            "Display meldet: invalid val\n");
        row("raw, no prompt", qx, {"--timeout", "0.3", "raw", "--hex", "55AA"}, 1, "",
            "Nichts zurückgekommen innerhalb von 0.3 s.\n");
        row("raw hex", loopback, {"raw", "--hex", "55AA"}, 0, "55 AA\n");
        // Text gets the line ending, as typed into the terminal in raw mode; the answer
        // is printed as it came.
        row("raw text", loopback, {"raw", "Hi"}, 0, "Hi\r");
    }

    void exchanges()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Result result = runOnSimulator(arguments, simulator);
        QCOMPARE(result.err, err);
        QCOMPARE(result.out, out);
        QCOMPARE(result.exitCode, exitCode);
    }

    void sendAsJson()
    {
        const Result result = runOnSimulator({"--json", "send", "get volume", "get foo"});
        QCOMPARE(result.exitCode, 1);
        const QJsonArray replies = jsonObject(result.out).value("replies").toArray();
        QCOMPARE(replies.size(), 2);
        QCOMPARE(replies.at(0).toObject().value("command"), QJsonValue("get volume"));
        QCOMPARE(replies.at(0).toObject().value("lines").toArray(), QJsonArray{"volume=30"});
        QCOMPARE(replies.at(1).toObject().value("lines").toArray(), QJsonArray{"invalid cmd"});
    }

    void loopbackTest()
    {
        const Result result =
            runOnSimulator({"loopback", "--count", "20", "--json"}, {"--loopback"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        const QJsonObject stats = jsonObject(result.out);
        for (const auto& [key, count] : {std::pair{"sent", 20},
                                         {"ok", 20},
                                         {"faulty", 0},
                                         {"lost", 0},
                                         {"bytesSent", 640},
                                         {"bytesReceived", 640}})
            QVERIFY2(stats.value(key) == QJsonValue(count), key);
        const double min = stats.value("minLatency").toDouble(-1);
        const double median = stats.value("medianLatency").toDouble(-1);
        const double max = stats.value("maxLatency").toDouble(-1);
        QVERIFY(min >= 0 && min <= median && median <= max);
    }

    // A display is no bridge plug: it answers instead of echoing.
    void loopbackAgainstADisplay()
    {
        const Result result = runOnSimulator({"loopback", "--count", "2"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.out.startsWith("Brückentest #1: Byte 1 verfälscht"),
                 qPrintable(result.out));
        QVERIFY(result.out.contains("2 Pakete, 0 in Ordnung, 2 fehlerhaft, 0 verloren"));
        QCOMPARE(result.err, QString("Brückentest: 2 von 2 Paketen nicht in Ordnung.\n"));
    }

    void testOutput()
    {
        const Result result =
            runOnSimulator({"testout", "--count", "2", "--interval", "0.05"}, {"--loopback"});
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Test #1: Bildwart Test #0001 | 19200 8N1 | "));
        QVERIFY(lines.at(1).startsWith("Test #2: Bildwart Test #0002 | 19200 8N1 | "));
    }

    void monitorShowsTheTraffic()
    {
        const Result result = runOnSimulator({"monitor", "--duration", "3"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QVERIFY2(result.out.contains("Verbunden mit " + link()), qPrintable(result.out));
        QVERIFY(result.out.contains("\u2192 get modelnum\n"));
        // An answer may come in more than one read, so one "←" line each.
        QString received;
        for (const QString& line : result.out.split('\n')) {
            const qsizetype arrow = line.indexOf("\u2190 ");
            if (arrow >= 0)
                received += line.mid(arrow + 2);
        }
        QVERIFY2(received.contains("modelnum=SBID-QX286\u240D\u240A>"), qPrintable(received));
    }

    void missingPort()
    {
        const QString path = m_dir.filePath("nichts");
        const Result result = run({"-p", path, "status"});
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.startsWith(path + " lässt sich nicht öffnen: "),
                 qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);
        QCOMPARE(result.out, QString());
    }

    // The test holds a file; the tool names the test by its process id, and opens nothing.
    void doctorNamesWhoHoldsThePort()
    {
        QFile port(m_dir.filePath("port"));
        QVERIFY(port.open(QIODevice::WriteOnly));
        const QString holder = QStringLiteral("(PID %1) hat den Port geöffnet.")
                                   .arg(QCoreApplication::applicationPid());
        const Result plain = run({"doctor", port.fileName()});
        QCOMPARE(plain.exitCode, 1);
        QVERIFY2(plain.out.startsWith(port.fileName() + "\n  Fehler [held-by-process]: ") &&
                     plain.out.contains(holder),
                 qPrintable(plain.out));

        const Result json = run({"doctor", "--json", port.fileName()});
        QCOMPARE(json.exitCode, 1);
        const QJsonArray reports = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.at(0)["port"].toString(), port.fileName());
        const QJsonObject finding = reports.at(0)["findings"].toArray().at(0).toObject();
        QCOMPARE(finding["id"].toString(), QStringLiteral("held-by-process"));
        QCOMPARE(finding["severity"].toString(), QStringLiteral("error"));
        QVERIFY(finding["text"].toString().endsWith(holder));
        QVERIFY(!finding["fix"].toString().isEmpty());

        port.close();
        QCOMPARE(run({"doctor", "--json", port.fileName()}).out.trimmed(),
                 QString(R"([{"findings":[],"port":"%1"}])").arg(port.fileName()));
        QCOMPARE(run({"doctor", port.fileName()}).exitCode, 0);
        const Result missing = run({"doctor", m_dir.filePath("nichts")});
        QCOMPARE(missing.exitCode, 3);
        QVERIFY2(missing.err.contains("gibt es nicht"), qPrintable(missing.err));
        QCOMPARE(run({"doctor", "simulator://smart"}).exitCode, 2);
    }

    void silentLine()
    {
        Pty pty; // nobody answers on the other side
        QVERIFY(pty.isValid());
        const Result result = run({"-p", pty.slavePath(), "--timeout", "0.3", "status"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("Keine Antwort auf „⏎“ nach 0.3 s"), qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);
    }

    // The messages themselves are checked in test_ctl_arguments.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--bogus", "status"};
        QTest::newRow("volume out of range") << QStringList{"set", "volume", "120"};
        QTest::newRow("no port known") << QStringList{"status"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err.count('\n'), 1);
    }

    // The remembered port is used, and the store is left exactly as it was.
    void storeIsReadNeverWritten()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        const QString storeFolder = configHome() + "/Halvorn";
        QVERIFY(QDir().mkpath(storeFolder));
        const QByteArray before =
            "[General]\nlastPortPath=" + link().toUtf8() + "\npollingEnabled=true\n";
        QFile store(storeFolder + "/Bildwart.conf");
        QVERIFY(store.open(QIODevice::WriteOnly) && store.write(before) == before.size());
        store.close();

        // Every setter of the controller persists; none of it may reach this file.
        const Result result = run({"--baud", "9600", "--parity", "even", "set", "mute", "on"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, QString("mute=on\n"));

        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), before);
        QCOMPARE(QDir(storeFolder).entryList(QDir::Files), QStringList{"Bildwart.conf"});

        // The simulator removes its link on SIGTERM.
        QCOMPARE(simulator.stop(), 0);
        QVERIFY(!QFileInfo(link()).isSymLink());
    }

    void portsAsJson()
    {
        const Result result = run({"ports", "--json"});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject ports = jsonObject(result.out);
        QVERIFY(ports.value("unboundAdapters").isArray());
        const QJsonArray list = ports.value("ports").toArray();
        QVERIFY(list.size() >= 2);
        const QJsonObject last = list.last().toObject();
        QCOMPARE(last.value("path"), QJsonValue("simulator://loopback"));
        QCOMPARE(last.value("isSimulator"), QJsonValue(true));
    }

    // Only what the display answered in this run counts; a one-shot command sends the
    // prompt request and its own command, nothing else.
    void answersThatNeverCame()
    {
        Pty pty;
        ScriptedDisplay display(pty.master(), promptOnly);
        Result result = run({"-p", pty.slavePath(), "status"});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString("series=QX\n")); // the stored series, not an answer
        QVERIFY2(result.err.startsWith("Keine Antwort des Displays für 14 von 14 Werten: "
                                       "powerstate, input,"),
                 qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);

        // Boot noise and values, but never a prompt: the prompt request and "get volume"
        // time out once each, and nothing else goes out.
        display.setScript([](const QString& line) -> QByteArray {
            return line == u"get volume" ? "\r\nvolume=30\r\n" : "\r\nBOOT\r\n";
        });
        result = run({"-p", pty.slavePath(), "-v", "--timeout", "0.3", "get", "volume"});
        QCOMPARE(result.err.count(QStringLiteral(" \u2192 ")), 2);
        QCOMPARE(result.out, QString("volume=30\n"));
    }

    // A result that cannot be written is a failure, said in German on stderr.
    void outputThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("redirection");
        QTest::addColumn<int>("errnum");
        QTest::newRow("full disk") << "> /dev/full" << ENOSPC;
        QTest::newRow("closed stdout") << ">&-" << EBADF;
    }
    void outputThatCannotBeWritten()
    {
        QFETCH(QString, redirection);
        QFETCH(int, errnum);
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        const Result result = runInShell(
            QStringLiteral("exec \"$0\" -p '%1' get volume %2").arg(link(), redirection));
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, "Die Ausgabe ließ sich nicht schreiben: " + systemText(errnum) + "\n");
    }

    // Ctrl+C while a command waits: the line is closed properly, exclusive use included,
    // and the exit code says which signal ended the run.
    void interruptedRunReleasesTheLine()
    {
        Pty pty; // silent: the prompt request waits its full timeout
        ScriptedDisplay display(pty.master());
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

    void unknownSimulatorAddress()
    {
        const Result result = run({"-p", "simulator://lopback", "loopback"});
        QCOMPARE(result.exitCode, 3);
        QCOMPARE(result.err, QString("„simulator://lopback“ ist keine bekannte Adresse – es gibt "
                                     "simulator://smart und simulator://loopback.\n"));
    }

    // A device path whose bytes are no UTF-8 still opens.
    void pathThatIsNoUtf8()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        const Result result =
            runInShell(QStringLiteral("odd=$(printf '%1/ger\\344t'); ln -s '%2' \"$odd\" && "
                                      "exec \"$0\" -p \"$odd\" get volume")
                           .arg(m_dir.path(), link()));
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, QString("volume=30\n"));
    }

    // A link left behind by a killed simulator, or pointing at some other program's
    // pseudo-terminal, is replaced; a running simulator's link and a plain file stay.
    void simulatorLinks()
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
        QCOMPARE(run({"-p", link(), "get", "volume"}).out, QString("volume=30\n"));

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

    // Two displays and a gateway that is not there: one line each, in the file's order,
    // and the exit code of the worst.
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
        QCOMPARE(result.err,
                 QString("3 Displays: 2 in Ordnung, 0 mit Fehler, 1 nicht erreichbar.\n"));

        result = run({"--targets", targets, "--json", "get", "foo"});
        QCOMPARE(result.exitCode, 3);
        const QJsonObject first = jsonObject(result.out.section('\n', 0, 0));
        QCOMPARE(first.value("name"), QJsonValue("Raum 1"));
        QCOMPARE(first.value("ok"), QJsonValue(false));
        QCOMPARE(first.value("error"), QJsonValue("Display meldet: invalid cmd"));
        QCOMPARE(jsonObject(result.out.section('\n', 1, 1)).value("name"), QJsonValue());
    }
};

QTEST_GUILESS_MAIN(BildwartctlTest)
#include "test_bildwartctl.moc"

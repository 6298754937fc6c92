// bildwartctl end to end: the built binary against its own simulator, started in the
// background with "simulate --link". The child processes see a private
// XDG_CONFIG_HOME, so the user's settings are never read or touched.
#include "controller/Pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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

    // SIGTERM, as a service manager sends it; returns the exit code.
    int stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(processTimeoutMs)) {
                m_process.kill();
                m_process.waitForFinished(processTimeoutMs);
                return -1;
            }
        }
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

    Result run(const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(childEnvironment(configHome()));
        process.start(QStringLiteral(BILDWARTCTL), arguments);
        Result result;
        if (!process.waitForFinished(processTimeoutMs)) {
            process.kill();
            process.waitForFinished(processTimeoutMs);
            result.err = QStringLiteral("timed out");
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    Result runOnLink(const QStringList& arguments) const
    {
        return run(QStringList{QStringLiteral("-p"), link()} + arguments);
    }

private slots:
    void init() { QVERIFY(QDir().mkpath(configHome())); }

    void statusAsJson()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"status", "--json"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        const QJsonObject status = jsonObject(result.out);
        QCOMPARE(status.value("modelnum"), QJsonValue("SBID-QX286"));
        QVERIFY(status.value("volume").isDouble());
        QCOMPARE(status.value("volume").toDouble(), 30.0);
        QVERIFY(status.value("mute").isBool());
        QCOMPARE(status.value("mute").toBool(), false);
        QCOMPARE(status.value("series"), QJsonValue("QX"));
        QCOMPARE(status.value("powerstate"), QJsonValue("on"));
        QCOMPARE(status.value("brightness").toDouble(), 80.0);
        const QStringList keys{"powerstate",     "input",      "volume",      "mute",
                               "micmute",        "brightness", "videofreeze", "screenshade",
                               "statereporting", "modelnum",   "serialnum",   "partnum",
                               "fwversion",      "series"};
        for (const QString& key : keys)
            QVERIFY2(status.contains(key) && !status.value(key).isNull(), qPrintable(key));
    }

    // One command against a fresh virtual display (QX: volume 30, input hdmi1).
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        QTest::newRow("volume up") << QStringList{"set", "volume", "+5"} << 0 << "volume=35\n"
                                   << "";
        QTest::newRow("volume down") << QStringList{"set", "volume", "-5"} << 0 << "volume=25\n"
                                     << "";
        QTest::newRow("brightness")
            << QStringList{"set", "brightness", "70"} << 0 << "brightness=70\n"
            << "";
        QTest::newRow("mute") << QStringList{"set", "mute", "on"} << 0 << "mute=on\n"
                              << "";
        QTest::newRow("input") << QStringList{"set", "input", "hdmi2"} << 0 << "input=hdmi2\n"
                               << "";
        QTest::newRow("power") << QStringList{"set", "power", "standby"} << 0
                               << "powerstate=standby\n"
                               << "";
        QTest::newRow("set as json")
            << QStringList{"set", "volume", "+5", "--json"} << 0 << "{\"volume\":35}\n"
            << "";
        QTest::newRow("get") << QStringList{"get", "volume"} << 0 << "volume=30\n"
                             << "";
        QTest::newRow("get unknown") << QStringList{"get", "foo"} << 1 << ""
                                     << "Display meldet: invalid cmd\n";
        QTest::newRow("send help") << QStringList{"send", "get help"} << 0
                                   << "get/set powerstate input volume mute brightness ...\n"
                                   << "";
        // Each line after the prompt of the one before: no merging of the two.
        QTest::newRow("send two sets") << QStringList{"send", "set volume=10", "set volume=20"} << 0
                                       << "volume=10\nvolume=20\n"
                                       << "";
        // The answer is printed like any other; the error goes to stderr as well.
        QTest::newRow("send refused")
            << QStringList{"send", "set volume=loud"} << 1 << "invalid val\n"
            << "Display meldet: invalid val\n";
        QTest::newRow("raw, no prompt")
            << QStringList{"--timeout", "0.3", "raw", "--hex", "55AA"} << 1 << ""
            << "Nichts zurückgekommen innerhalb von 0.3 s.\n";
    }

    void exchanges()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());

        const Result result = runOnLink(arguments);
        QCOMPARE(result.err, err);
        QCOMPARE(result.out, out);
        QCOMPARE(result.exitCode, exitCode);
    }

    void sendAsJson()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"--json", "send", "get volume", "get foo"});
        QCOMPARE(result.exitCode, 1);
        const QJsonArray replies = jsonObject(result.out).value("replies").toArray();
        QCOMPARE(replies.size(), 2);
        QCOMPARE(replies.at(0).toObject().value("command"), QJsonValue("get volume"));
        QCOMPARE(replies.at(0).toObject().value("lines").toArray(), QJsonArray{"volume=30"});
        QCOMPARE(replies.at(1).toObject().value("lines").toArray(), QJsonArray{"invalid cmd"});
    }

    void refusedAction()
    {
        Simulator simulator(configHome(), link(), {"--series", "rx"});
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"set", "power", "ready"}); // no RX state
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QString("Display meldet: invalid val\n"));
    }

    // Against the bridge plug: every byte comes back.
    void rawExchanges_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        QTest::newRow("hex") << QStringList{"raw", "--hex", "55AA"} << "55 AA\n";
        QTest::newRow("hex with prefixes") << QStringList{"--hex", "raw", "0x48,0x69"} << "48 69\n";
        // Text gets the line ending, as typed into the terminal in raw mode; the answer
        // is printed as it came.
        QTest::newRow("text") << QStringList{"raw", "Hi"} << "Hi\r";
        QTest::newRow("text, CR LF")
            << QStringList{"--line-ending", "crlf", "raw", "Hi"} << "Hi\r\n";
    }

    void rawExchanges()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        Simulator simulator(configHome(), link(), {"--loopback"});
        QVERIFY(simulator.isReady());

        const Result result = runOnLink(arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, out);
        QCOMPARE(result.exitCode, 0);
    }

    void loopbackTest()
    {
        Simulator simulator(configHome(), link(), {"--loopback"});
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"loopback", "--count", "20", "--json"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        const QJsonObject stats = jsonObject(result.out);
        QCOMPARE(stats.value("sent").toInteger(), qint64(20));
        QCOMPARE(stats.value("ok").toInteger(), qint64(20));
        QCOMPARE(stats.value("faulty").toInteger(), qint64(0));
        QCOMPARE(stats.value("lost").toInteger(), qint64(0));
        QCOMPARE(stats.value("bytesSent").toInteger(), qint64(20 * 32));
        QCOMPARE(stats.value("bytesReceived").toInteger(), qint64(20 * 32));
        const double min = stats.value("minLatency").toDouble(-1);
        const double median = stats.value("medianLatency").toDouble(-1);
        const double max = stats.value("maxLatency").toDouble(-1);
        QVERIFY(min >= 0 && min <= median && median <= max);
    }

    void loopbackTestPlain()
    {
        Simulator simulator(configHome(), link(), {"--loopback"});
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"loopback", "--count", "3", "--size", "16"});
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QString("3 Pakete, 3 in Ordnung, 0 fehlerhaft, 0 verloren"));
        QVERIFY2(lines.at(1).startsWith("Umlaufzeit: min "), qPrintable(lines.at(1)));
    }

    // A display is no bridge plug: it answers instead of echoing.
    void loopbackAgainstADisplay()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"loopback", "--count", "2"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.out.startsWith("Brückentest #1: Byte 1 verfälscht"),
                 qPrintable(result.out));
        QVERIFY(result.out.contains("2 Pakete, 0 in Ordnung, 2 fehlerhaft, 0 verloren"));
        QCOMPARE(result.err, QString("Brückentest: 2 von 2 Paketen nicht in Ordnung.\n"));
    }

    void testOutput()
    {
        Simulator simulator(configHome(), link(), {"--loopback"});
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"testout", "--count", "2", "--interval", "0.05"});
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Test #1: Bildwart Test #0001 | 19200 8N1 | "));
        QVERIFY(lines.at(1).startsWith("Test #2: Bildwart Test #0002 | 19200 8N1 | "));
    }

    void monitorShowsTheTraffic()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());

        const Result result = runOnLink({"monitor", "--duration", "3"});
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

    void silentLine()
    {
        Pty pty; // nobody answers on the other side
        QVERIFY(pty.isValid());
        const Result result = run({"-p", pty.slavePath(), "--timeout", "0.3", "status"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("Keine Antwort auf „⏎“ nach 0.3 s"), qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{"-p", "/dev/null"};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("unknown option") << QStringList{"--bogus", "status"};
        QTest::newRow("baud not a number") << QStringList{"--baud", "schnell", "status"};
        QTest::newRow("parity") << QStringList{"--parity", "mark", "status"};
        QTest::newRow("option of another command") << QStringList{"--count", "5", "status"};
        QTest::newRow("value missing") << QStringList{"status", "--timeout"};
        QTest::newRow("set without value") << QStringList{"set", "volume"};
        QTest::newRow("volume out of range") << QStringList{"set", "volume", "120"};
        QTest::newRow("bad hex") << QStringList{"raw", "--hex", "4G"};
        QTest::newRow("line break") << QStringList{"send", "get volume\rset mute=on"};
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

    void helpIsGerman()
    {
        const Result result = run({"--help"});
        QCOMPARE(result.exitCode, 0);
        for (const char* word : {"Aufruf:", "simulate", "--line-ending", "Rückgabewerte"})
            QVERIFY2(result.out.contains(QString::fromUtf8(word)), word);
    }

    // The remembered port is used, and the store is left exactly as it was.
    void storeIsReadNeverWritten()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        const QString storeFolder = configHome() + "/Halvorn";
        QVERIFY(QDir().mkpath(storeFolder));
        QFile store(storeFolder + "/Bildwart.conf");
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write("[General]\nlastPortPath=" + link().toUtf8() + "\npollingEnabled=true\n");
        store.close();
        QVERIFY(store.open(QIODevice::ReadOnly));
        const QByteArray before = store.readAll();
        store.close();

        // Every setter of the controller persists; none of it may reach this file.
        const Result result = run({"--baud", "9600", "--parity", "even", "set", "mute", "on"});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, QString("mute=on\n"));

        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), before);
        QCOMPARE(QDir(storeFolder).entryList(QDir::Files), QStringList{"Bildwart.conf"});
    }

    void simulatorRemovesItsLinkOnSigterm()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        QCOMPARE(simulator.stop(), 0);
        QVERIFY(!QFileInfo(link()).isSymLink());
    }

    void simulatorNeverReplacesAFile()
    {
        QFile file(link());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mine");
        file.close();
        const Result result = run({"simulate", "--link", link()});
        QCOMPARE(result.exitCode, 3);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("mine"));
        file.close();
        file.remove();
    }

    // "Any serial program can then talk to it": not only the first one. The other
    // tests give each client a simulator of its own, so a fault here fails here alone.
    void simulatorServesOneClientAfterAnother()
    {
        Simulator simulator(configHome(), link());
        QVERIFY(simulator.isReady());
        const Result first = runOnLink({"get", "volume"});
        QCOMPARE(first.exitCode, 0);
        const Result second = runOnLink({"get", "volume"});
        QCOMPARE(second.err, QString());
        QCOMPARE(second.exitCode, 0);
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
};

QTEST_GUILESS_MAIN(BildwartctlTest)
#include "test_bildwartctl.moc"

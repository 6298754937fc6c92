// The displays' metrics: series that follow what is known, and "bildwartctl serve" scraped
// by a real Prometheus, its text file read while it is rewritten.
#include "ControllerFixture.h"
#include "Ser2net.h"
#include "Support.h"

#include "metrics/DisplayMetrics.h"
#include "metrics/SeriesRegistry.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <csignal>
#include <prometheus/text_serializer.h>

namespace {

constexpr int processTimeoutMs = 120'000;

QString scrape(const SeriesRegistry& registry)
{
    return QString::fromStdString(prometheus::TextSerializer().Serialize(registry.Collect()));
}

// The body of a GET, within the wait; empty when nothing came.
QByteArray get(const QUrl& url)
{
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    waitUntil([&] { return reply->isFinished(); }, 10'000);
    return reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll()
                                                                           : QByteArray();
}

// A program to its end with `input` on stdin; its exit code, -1 when it did not end.
int runWithInput(const QString& program, const QStringList& arguments, const QByteArray& input,
                 QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, processTimeoutMs))
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}

} // namespace

class MetricsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    // Series leave from anywhere in their family, in any order, and the others keep their
    // values; a probe sees only its target's.
    void seriesComeAndGo()
    {
        SeriesRegistry registry;
        SeriesFamily& up = registry.gauge("bildwart_up", "up");
        std::vector<Series*> series;
        for (const char* target : {"a", "b", "c", "d"})
            series.push_back(&up.add({{"target", target}, {"name", "Raum"}}));
        for (size_t i = 0; i < series.size(); ++i)
            series[i]->set(double(i + 1));
        up.remove(series[1]);
        up.remove(series[3]);
        series[2]->set(30);
        up.remove(series[0]);
        QCOMPARE(scrape(registry).count("bildwart_up{"), 1);
        QVERIFY(scrape(registry).contains("bildwart_up{name=\"Raum\",target=\"c\"} 30"));
        QCOMPARE(registry.collectTarget("c").size(), size_t(1));
        QVERIFY(registry.collectTarget("a").empty());
    }

    // Unknown is no series at all; what the display told on this line is, as long as the
    // line is open.
    void seriesFollowKnowledge()
    {
        SeriesRegistry registry;
        MetricFamilies families(registry);
        ControllerFixture fixture;
        fixture.realTime = true;
        fixture.make();
        fixture.setPolling(false, 5);
        auto metrics = std::make_unique<DisplayMetrics>(
            families, *fixture.controller,
            std::map<std::string, std::string>{{"target", "simulator://smart"}, {"name", "Aula"}});
        QString text = scrape(registry);
        QVERIFY(text.contains("bildwart_up{name=\"Aula\",target=\"simulator://smart\"} 0"));
        QVERIFY(!text.contains("bildwart_volume{"));

        fixture.controller->ports().select("simulator://smart");
        fixture.controller->connectLine();
        QVERIFY(waitUntil([&] { return scrape(registry).contains("bildwart_display_info{"); }));
        QVERIFY(waitUntil([&] { return fixture.idle(); }));
        text = scrape(registry);
        for (const char* line :
             {"bildwart_up{name=\"Aula\",target=\"simulator://smart\"} 1",
              "bildwart_volume{name=\"Aula\",target=\"simulator://smart\"} 30",
              "bildwart_power_state{name=\"Aula\",state=\"on\",target=\"simulator://smart\"} 1",
              "bildwart_power_state{name=\"Aula\",state=\"standby\",target=\"simulator://smart\"} "
              "0",
              "bildwart_input{input=\"hdmi1\",name=\"Aula\",target=\"simulator://smart\"} 1",
              "serial=\"SIM0000001\",series=\"QX\",target=\"simulator://smart\"} 1"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);

        fixture.controller->disconnectLine();
        text = scrape(registry);
        QVERIFY(text.contains("bildwart_up{name=\"Aula\",target=\"simulator://smart\"} 0"));
        QVERIFY(!text.contains("bildwart_volume{"));
        QVERIFY(!text.contains("bildwart_power_state{"));
        metrics.reset();
        QVERIFY(!scrape(registry).contains("Aula"));
    }

    // --probe-any: a network address outside the file is held for the probe and answers
    // with its display's series; a local device path is never opened for a probe, an
    // address nobody answers on is "not up" within the probe's wait, never an HTTP error.
    void probeAnyAddress()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        QVERIFY(QDir().mkpath(m_dir.filePath("run")));
        std::vector<std::unique_ptr<QProcess>> simulators;
        for (const QString name : {"held", "probed"}) {
            auto simulator = std::make_unique<QProcess>();
            simulator->setProcessEnvironment(environment);
            simulator->start(BILDWARTCTL, {"simulate", "--link", m_dir.filePath(name)});
            QVERIFY(simulator->waitForReadyRead(processTimeoutMs));
            simulators.push_back(std::move(simulator));
        }
        Ser2net gateway(QFileInfo(m_dir.filePath("probed")).canonicalFilePath());
        QVERIFY(gateway.start());
        QFile file(m_dir.filePath("einer.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(m_dir.filePath("held").toUtf8() + " Raum 1\n") > 0);
        file.close();

        const quint16 metricsPort = Ser2net::freePort();
        QProcess serve;
        serve.setProcessEnvironment(environment);
        serve.start(BILDWARTCTL, {"serve", "--targets", file.fileName(), "--metrics",
                                  QString::number(metricsPort), "--probe-any"});
        const auto probe = [&](const QString& target) {
            QUrl url(QStringLiteral("http://127.0.0.1:%1/probe").arg(metricsPort));
            url.setQuery(QUrlQuery{{"target", target}});
            return QString::fromUtf8(get(url));
        };
        QString answer;
        if (!waitUntil(
                [&] {
                    answer = probe(gateway.rawAddress());
                    return answer.contains("serial=\"SIM0000001\"");
                },
                processTimeoutMs))
            QFAIL(qPrintable(answer + serve.readAllStandardError()));
        QVERIFY(answer.contains(
            QStringLiteral("bildwart_up{name=\"%1\",target=\"%1\"} 1").arg(gateway.rawAddress())));
        const QString device = probe(QFileInfo(m_dir.filePath("probed")).canonicalFilePath());
        QVERIFY2(device.contains("} 0") && !device.contains("bildwart_display_info"),
                 qPrintable(device));
        const QString nobody = QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2net::freePort());
        QVERIFY(probe(nobody).contains(QStringLiteral("bildwart_up{") + "name=\"" + nobody));

        ::kill(pid_t(serve.processId()), SIGTERM);
        QVERIFY(serve.waitForFinished(processTimeoutMs));
        QCOMPARE(serve.exitCode(), 128 + SIGTERM);
        const QString said = QString::fromUtf8(serve.readAllStandardError());
        QVERIFY2(said.contains(gateway.rawAddress() + ": für /probe gehalten") &&
                     !said.contains(m_dir.filePath("probed") + ": für /probe"),
                 qPrintable(said));
        for (auto& simulator : simulators) {
            simulator->terminate();
            simulator->waitForFinished(processTimeoutMs);
        }
    }

    // serve with two displays and an address nobody listens on, scraped every second by
    // Prometheus; its text file read again and again while it is rewritten.
    void scrapedByPrometheus()
    {
        if (QStandardPaths::findExecutable("prometheus").isEmpty())
            QSKIP("prometheus is not installed (scripts/test installs it)");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        QVERIFY(QDir().mkpath(m_dir.filePath("run")));

        std::vector<std::unique_ptr<QProcess>> simulators;
        QString targets;
        for (const QString name : {"a", "b"}) {
            auto simulator = std::make_unique<QProcess>();
            simulator->setProcessEnvironment(environment);
            simulator->start(BILDWARTCTL, {"simulate", "--link", m_dir.filePath(name)});
            QVERIFY(simulator->waitForReadyRead(processTimeoutMs));
            targets += m_dir.filePath(name) + " Raum " + name + "\n";
            simulators.push_back(std::move(simulator));
        }
        const QString gone = QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2net::freePort());
        targets += gone + " Raum c\n";
        QFile file(m_dir.filePath("ziele.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(targets.toUtf8()) > 0);
        file.close();

        const quint16 metricsPort = Ser2net::freePort();
        const QString textfile = m_dir.filePath("bildwart.prom");
        QProcess serve;
        serve.setProcessEnvironment(environment);
        serve.start(BILDWARTCTL, {"serve", "--targets", file.fileName(), "--poll", "1", "--metrics",
                                  QString::number(metricsPort), "--textfile", textfile});
        const QUrl metricsUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort));
        QVERIFY(waitUntil([&] { return get(metricsUrl).contains("bildwart_display_info{"); },
                          processTimeoutMs));
        QByteArray said;
        QCOMPARE(runWithInput("promtool", {"check", "metrics"}, get(metricsUrl), &said), 0);
        // A second serve on the same port says so in German and ends as a port failure.
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(BILDWARTCTL, {"serve", "--targets", file.fileName(), "--metrics",
                                   QString::number(metricsPort)});
        QVERIFY(second.waitForFinished(processTimeoutMs));
        QCOMPARE(second.exitCode(), 3);
        QVERIFY2(second.readAllStandardError().contains("ist belegt"), "no German cause");

        // One display by its address, as the blackbox exporter's probe; an address not in
        // the file is no HTTP error, it is not up.
        const auto probe = [&](const QString& target) {
            QUrl url(QStringLiteral("http://127.0.0.1:%1/probe").arg(metricsPort));
            url.setQuery(QUrlQuery{{"target", target}});
            return QString::fromUtf8(get(url));
        };
        const QString one = probe(m_dir.filePath("a"));
        QVERIFY2(one.contains("name=\"Raum a\"") && one.contains("bildwart_display_info{") &&
                     !one.contains("Raum b"),
                 qPrintable(one));
        QVERIFY(probe("tcp://192.0.2.1:4001")
                    .contains("bildwart_up{target=\"tcp://192.0.2.1:4001\"} 0"));

        // A reader never sees half a file: read as fast as it goes over three rounds.
        QVERIFY(waitUntil([&] { return QFileInfo::exists(textfile); }, processTimeoutMs));
        int reads = 0;
        int torn = 0;
        QElapsedTimer reading;
        reading.start();
        while (reading.elapsed() < 3000) {
            QFile metrics(textfile);
            if (!metrics.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = metrics.readAll();
            ++reads;
            if (!text.endsWith('\n') || !text.contains("# TYPE bildwart_up gauge"))
                ++torn;
        }
        QVERIFY(reads > 100);
        QCOMPARE(torn, 0);

        const quint16 prometheusPort = Ser2net::freePort();
        QFile config(m_dir.filePath("prometheus.yml"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("global: {scrape_interval: 1s}\n"
                                    "scrape_configs:\n"
                                    "  - job_name: bildwart\n"
                                    "    static_configs: [{targets: [\"127.0.0.1:%1\"]}]\n")
                         .arg(metricsPort)
                         .toUtf8());
        config.close();
        QProcess prometheus;
        prometheus.start("prometheus",
                         {"--config.file=" + config.fileName(),
                          "--storage.tsdb.path=" + m_dir.filePath("tsdb"),
                          QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
        const auto query = [&](const QString& expression) {
            QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(prometheusPort));
            url.setQuery(QUrlQuery{{"query", expression}});
            return QJsonDocument::fromJson(get(url))["data"]["result"].toArray();
        };
        QMap<QString, QString> up; // name -> value
        QVERIFY(waitUntil(
            [&] {
                up.clear();
                for (const QJsonValue& series : query("bildwart_up"))
                    up[series["metric"]["name"].toString()] = series["value"][1].toString();
                return up.size() == 3 && up["Raum a"] == "1" && up["Raum b"] == "1";
            },
            processTimeoutMs));
        QCOMPARE(up["Raum c"], QStringLiteral("0"));
        const QJsonArray info = query("bildwart_display_info");
        QCOMPARE(info.size(), 2);
        QCOMPARE(info[0]["metric"]["serial"].toString(), QStringLiteral("SIM0000001"));

        prometheus.terminate();
        QVERIFY(prometheus.waitForFinished(processTimeoutMs));
        ::kill(pid_t(serve.processId()), SIGTERM);
        QVERIFY(serve.waitForFinished(processTimeoutMs));
        QCOMPARE(serve.exitCode(), 128 + SIGTERM);
        for (auto& simulator : simulators) {
            simulator->terminate();
            simulator->waitForFinished(processTimeoutMs);
        }
    }
};

QTEST_GUILESS_MAIN(MetricsTest)
#include "test_metrics.moc"

// "bildwartctl serve --mqtt" holding the display simulator, against a real Mosquitto on a
// free loopback port; mosquitto_sub and mosquitto_pub are Home Assistant's side.
#include "Ser2net.h"
#include "Support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

constexpr int processTimeoutMs = 120'000;
const QString serial = QStringLiteral("SIM0000001");

// A private broker that can be stopped and started again on its port.
class Broker {
public:
    explicit Broker(const QString& folder)
        : m_config(folder + QStringLiteral("/mosquitto.conf"))
        , m_port(Ser2net::freePort())
    {
        QFile file(m_config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                      "persistence false\n")
                           .arg(m_port)
                           .toUtf8());
    }
    ~Broker() { stop(); }

    bool start()
    {
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), m_config});
        return waitUntil(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
                return probe.waitForConnected(200);
            },
            processTimeoutMs);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(processTimeoutMs);
    }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }

    // The retained messages under `pattern`, by topic.
    QMap<QString, QByteArray> retained(const QString& pattern) const
    {
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"),
                  {"-h", "127.0.0.1", "-p", QString::number(m_port), "-t", pattern, "-v", "-W", "1",
                   "--retained-only"});
        sub.waitForFinished(processTimeoutMs);
        QMap<QString, QByteArray> messages;
        for (const QByteArray& line : sub.readAllStandardOutput().split('\n')) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0)
                messages.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
        }
        return messages;
    }
    QByteArray retainedAt(const QString& topic) const { return retained(topic).value(topic); }
    bool waitFor(const QString& topic, const QByteArray& payload) const
    {
        return waitUntil([&] { return retainedAt(topic) == payload; }, processTimeoutMs);
    }
    void publish(const QString& topic, const QByteArray& payload) const
    {
        QProcess::execute(QStringLiteral("mosquitto_pub"),
                          {"-h", "127.0.0.1", "-p", QString::number(m_port), "-t", topic, "-m",
                           QString::fromUtf8(payload)});
    }

private:
    QString m_config;
    quint16 m_port;
    QProcess m_process;
};

QString topic(const QString& object)
{
    return QStringLiteral("bildwart/%1/%2").arg(serial, object);
}

} // namespace

class MqttBrokerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QProcess> m_simulator;

    void startSimulator()
    {
        m_simulator = std::make_unique<QProcess>();
        m_simulator->setProcessEnvironment(m_environment);
        m_simulator->start(BILDWARTCTL, {"simulate", "--link", m_dir.filePath("aula")});
        QVERIFY(m_simulator->waitForReadyRead(processTimeoutMs));
    }
    QString getVolume()
    {
        QProcess get;
        get.setProcessEnvironment(m_environment);
        get.start(BILDWARTCTL, {"get", "volume", "-p", m_dir.filePath("aula")});
        get.waitForFinished(processTimeoutMs);
        return QString::fromUtf8(get.readAllStandardOutput()).trimmed();
    }

private slots:
    void initTestCase()
    {
        for (const char* program : {"mosquitto", "mosquitto_sub", "mosquitto_pub"}) {
            if (QStandardPaths::findExecutable(program).isEmpty())
                QSKIP("mosquitto and mosquitto-clients are not installed (scripts/test "
                      "installs them)");
        }
        m_environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        QVERIFY(QDir().mkpath(m_dir.filePath("run")));
    }

    void homeAssistantThroughTheBroker()
    {
        Broker broker(m_dir.path());
        startSimulator();
        QFile targets(m_dir.filePath("ziele.txt"));
        QVERIFY(targets.open(QIODevice::WriteOnly));
        targets.write((m_dir.filePath("aula") + " Aula\n").toUtf8());
        targets.close();
        QProcess serve;
        serve.setProcessEnvironment(m_environment);
        serve.start(BILDWARTCTL, {"serve", "--targets", targets.fileName(), "--poll", "1", "--mqtt",
                                  broker.url()});
        // The broker comes after serve, as after a power cut: serve keeps trying.
        QByteArray said;
        QVERIFY(waitUntil(
            [&] { return (said += serve.readAllStandardError()).contains("Verbindung abgelehnt"); },
            processTimeoutMs));
        QVERIFY(broker.start());

        // Discovery: one retained configuration per entity, with the keys Home Assistant
        // requires for its component.
        struct Expected {
            const char* component;
            const char* object;
            QStringList keys;
        };
        const QStringList common{"name", "unique_id", "state_topic", "device", "availability"};
        const QList<Expected> table{
            {"select", "power", common + QStringList{"command_topic", "options"}},
            {"select", "input", common + QStringList{"command_topic", "options"}},
            {"number", "volume", common + QStringList{"command_topic", "min", "max", "step"}},
            {"number", "brightness", common + QStringList{"command_topic", "min", "max"}},
            {"switch", "mute", common + QStringList{"command_topic"}},
            {"switch", "microphone_mute", common + QStringList{"command_topic"}},
            {"switch", "video_freeze", common + QStringList{"command_topic"}},
            {"switch", "screen_shade", common + QStringList{"command_topic"}},
            {"sensor", "model", common + QStringList{"entity_category"}},
            {"sensor", "firmware", common + QStringList{"entity_category"}},
            {"binary_sensor", "connectivity", common + QStringList{"device_class"}},
        };
        QMap<QString, QByteArray> configs;
        QVERIFY(waitUntil(
            [&] { return (configs = broker.retained("homeassistant/#")).size() == table.size(); },
            processTimeoutMs));
        for (const Expected& row : table) {
            const QString at = QStringLiteral("homeassistant/%1/bildwart_%2/%3/config")
                                   .arg(row.component, serial, row.object);
            QVERIFY2(configs.contains(at), qPrintable(at));
            const QJsonObject config = QJsonDocument::fromJson(configs.value(at)).object();
            for (const QString& key : row.keys)
                QVERIFY2(config.contains(key), qPrintable(at + u' ' + key));
            QCOMPARE(config["device"]["name"].toString(), QStringLiteral("Aula"));
            QCOMPARE(config["device"]["identifiers"][0].toString(), "bildwart_" + serial);
            if (!row.keys.contains("command_topic"))
                QVERIFY(!config.contains("command_topic"));
        }
        QVERIFY(broker.waitFor(topic("availability"), "online"));
        QCOMPARE(broker.retainedAt(topic("volume")), QByteArray("30"));

        // A command reaches the display and its confirmed value comes back; one out of
        // range does not, it is logged and the display's value stands.
        broker.publish(topic("volume/set"), "40");
        QVERIFY(broker.waitFor(topic("volume"), "40"));
        QCOMPARE(getVolume(), QStringLiteral("volume=40"));
        broker.publish(topic("volume/set"), "140");
        QVERIFY(waitUntil(
            [&] {
                return (said += serve.readAllStandardError()).contains("MQTT: Befehl abgelehnt");
            },
            processTimeoutMs));
        QCOMPARE(broker.retainedAt(topic("volume")), QByteArray("40"));
        QCOMPARE(getVolume(), QStringLiteral("volume=40"));

        // The display gone and back.
        m_simulator->terminate();
        QVERIFY(m_simulator->waitForFinished(processTimeoutMs));
        QVERIFY(broker.waitFor(topic("availability"), "offline"));
        startSimulator();
        QVERIFY(broker.waitFor(topic("availability"), "online"));

        // The broker restarted without memory: serve connects again and says it all again.
        broker.stop();
        QVERIFY(broker.start());
        QVERIFY(waitUntil([&] { return broker.retained("homeassistant/#").size() == table.size(); },
                          processTimeoutMs));
        QVERIFY(broker.waitFor(topic("volume"), "30")); // the restarted simulator's

        // Killed: the broker says it with the last will.
        const QMap<QString, QByteArray> status = broker.retained("bildwart/+/status");
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.first(), QByteArray("online"));
        ::kill(pid_t(serve.processId()), SIGKILL);
        QVERIFY(serve.waitForFinished(processTimeoutMs));
        QVERIFY(broker.waitFor(status.firstKey(), "offline"));

        m_simulator->terminate();
        m_simulator->waitForFinished(processTimeoutMs);
    }
};

QTEST_GUILESS_MAIN(MqttBrokerTest)
#include "test_mqtt_broker.moc"

// One display on the broker, from what its controller knows: a recording outlet instead of
// a broker, a fake line and a clock moved by hand instead of a display and time.
#include "ControllerFixture.h"

#include "mqtt/DisplayBridge.h"
#include "mqtt/MqttClient.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

class RecordingOutlet : public MqttOutlet {
public:
    bool isConnected() const override { return connected; }
    void publish(const MqttMessage& message) override { sent.append(message); }

    // The last payload per topic, as a subscriber sees the retained messages.
    std::optional<QByteArray> last(const QString& topic) const
    {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            if (it->topic == topic)
                return it->payload;
        }
        return std::nullopt;
    }
    QStringList topics() const
    {
        QStringList topics;
        for (const MqttMessage& message : sent)
            topics.append(message.topic);
        return topics;
    }

    bool connected = true;
    QList<MqttMessage> sent;
};

// A display with a serial that the test may change, that takes volumes up to `maxVolume`
// and does not know brightness.
struct Display {
    QString serial = QStringLiteral("A1/#");
    int volume = 30;
    int maxVolume = 100;
    bool silent = false;

    QByteArray answer(const QString& line)
    {
        if (silent)
            return {};
        QString name = line.mid(4);
        QString value;
        if (line.startsWith(u"set volume=")) {
            volume = std::min(maxVolume, line.mid(11).toInt());
            name = QStringLiteral("volume");
        } else if (line.startsWith(u"set ")) {
            return QStringLiteral("\r\n%1\r\n>").arg(line.mid(4)).toUtf8();
        }
        if (name == u"brightness")
            return QByteArrayLiteral("\r\ninvalid cmd\r\n>");
        value = name == u"serialnum"    ? serial
                : name == u"modelnum"   ? QStringLiteral("SBID-QX286")
                : name == u"fwversion"  ? QStringLiteral("1.07")
                : name == u"volume"     ? QString::number(volume)
                : name == u"powerstate" ? QStringLiteral("on")
                : name == u"input"      ? QStringLiteral("hdmi1")
                                        : QStringLiteral("off");
        return QStringLiteral("\r\n%1=%2\r\n>").arg(name, value).toUtf8();
    }
};

const QString serialA = QStringLiteral("A1__");

} // namespace

class DisplayBridgeTest : public QObject {
    Q_OBJECT

private:
    ControllerFixture m_fixture;
    Display m_display;
    RecordingOutlet m_outlet;
    std::unique_ptr<DisplayBridge> m_bridge;

    void connectDisplay()
    {
        m_fixture.connectTo(QStringLiteral("/dev/ttyUSB0"));
        m_fixture.clock->advance(1); // past the start-up queries
    }
    QString state(const QString& object) const
    {
        return QString::fromUtf8(
            m_outlet.last(HomeAssistant::stateTopic(serialA, object)).value_or("<none>"));
    }
    QString availability() const
    {
        return QString::fromUtf8(
            m_outlet.last(HomeAssistant::availabilityTopic(serialA)).value_or("<none>"));
    }
    void send(const QString& object, const QByteArray& payload, bool retained = false)
    {
        m_bridge->command(object, payload, retained);
        m_fixture.clock->advance(1);
    }

private slots:
    void init()
    {
        m_display = Display{};
        m_outlet = RecordingOutlet{};
        m_bridge.reset();
        m_fixture.lines.display = [this](const QString& line) { return m_display.answer(line); };
        m_fixture.make();
        m_fixture.setPolling(false, 5);
        m_bridge = std::make_unique<DisplayBridge>(m_outlet, *m_fixture.controller,
                                                   QStringLiteral("Aula"), QStringLiteral("pi"));
    }
    void cleanup() { m_bridge.reset(); }

    // Nothing before the serial; then discovery, availability and every value told, under
    // the serial made safe for topics; a value the display did not tell is not published.
    void publishesWhatIsKnown()
    {
        QVERIFY(m_outlet.sent.isEmpty());
        connectDisplay();
        QCOMPARE(m_bridge->serialToken(), serialA);
        const QStringList topics = m_outlet.topics();
        for (const HomeAssistant::Entity& entity : HomeAssistant::entities())
            QVERIFY2(topics.contains(HomeAssistant::configTopic(serialA, entity)),
                     qPrintable(entity.object));
        for (const QString& topic : topics)
            QVERIFY2(!topic.contains(u'#') && topic.count(u'/') <= 4, qPrintable(topic));
        QCOMPARE(availability(), QStringLiteral("online"));
        QCOMPARE(state("volume"), QStringLiteral("30"));
        QCOMPARE(state("power"), QStringLiteral("on"));
        QCOMPARE(state("model"), QStringLiteral("SBID-QX286"));
        QCOMPARE(state("brightness"), QStringLiteral("<none>"));
        const auto config = QJsonDocument::fromJson(
                                *m_outlet.last(HomeAssistant::configTopic(
                                    serialA, *HomeAssistant::entityFor(QStringLiteral("volume")))))
                                .object();
        QCOMPARE(config["device"]["name"].toString(), QStringLiteral("Aula"));
        QCOMPARE(config["device"]["sw_version"].toString(), QStringLiteral("1.07"));

        // Unchanged values are not sent again; after a new connect to the broker they are.
        const qsizetype before = m_outlet.sent.size();
        m_fixture.controller->pump().refreshAll();
        m_fixture.clock->advance(2);
        QCOMPARE(m_outlet.sent.size(), before);
        m_bridge->republish();
        QVERIFY(m_outlet.sent.size() > before + 11);
    }

    // Commands from the broker: checked before the line, confirmed by the display's answer;
    // anything else republishes what the display really has, and says why in its log.
    void commands_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("retained");
        QTest::addColumn<int>("maxVolume");
        QTest::addColumn<QString>("sentLine"); // empty: nothing on the line
        QTest::addColumn<QString>("volumeState");
        QTest::addColumn<QString>("logged"); // part of the error entry; empty: none

        QTest::newRow("taken") << "volume" << QByteArray("40.0") << false << 100 << "set volume=40"
                               << "40"
                               << "";
        QTest::newRow("clamped by the display")
            << "volume" << QByteArray("90") << false << 50 << "set volume=90"
            << "50"
            << "das Display meldet 50";
        QTest::newRow("out of range") << "volume" << QByteArray("140") << false << 100 << ""
                                      << "30"
                                      << "erwartet eine ganze Zahl von 0 bis 100";
        QTest::newRow("step") << "volume" << QByteArray("+5") << false << 100 << ""
                              << "30"
                              << "erwartet eine ganze Zahl";
        QTest::newRow("retained") << "volume" << QByteArray("40") << true << 100 << ""
                                  << "30"
                                  << "gespeicherter (retained) Befehl";
        QTest::newRow("sensor") << "model" << QByteArray("x") << false << 100 << ""
                                << "30"
                                << "nimmt keine Befehle an";
        QTest::newRow("switch") << "mute" << QByteArray("on") << false << 100 << "set mute=on"
                                << "30"
                                << "";
    }
    void commands()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, payload);
        QFETCH(bool, retained);
        QFETCH(int, maxVolume);
        QFETCH(QString, sentLine);
        QFETCH(QString, volumeState);
        QFETCH(QString, logged);
        connectDisplay();
        m_display.maxVolume = maxVolume;
        const qsizetype linesBefore = m_fixture.lines.lines.size();
        const qsizetype sentBefore = m_outlet.sent.size();
        const qsizetype errorsBefore = m_fixture.logTexts(Kind::error).size();
        send(object, payload, retained);

        const QStringList written = m_fixture.lines.lines.mid(linesBefore);
        QCOMPARE(written.isEmpty() ? QString() : written.first(), sentLine);
        QCOMPARE(state("volume"), volumeState);
        const QStringList errors = m_fixture.logTexts(Kind::error).mid(errorsBefore);
        if (logged.isEmpty()) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        } else {
            QVERIFY2(!errors.isEmpty() && errors.last().contains(logged),
                     qPrintable(errors.join(u'\n')));
            // The real value is published again, so that Home Assistant drops what it showed.
            if (object == u"volume")
                QVERIFY(m_outlet.sent.mid(sentBefore)
                            .contains(MqttMessage{HomeAssistant::stateTopic(serialA, object),
                                                  volumeState.toUtf8(), true}));
        }
    }

    // A display that stops answering, or a line that is lost, is offline; it comes back
    // online when it answers again.
    void availabilityFollowsAnswers()
    {
        connectDisplay();
        QCOMPARE(availability(), QStringLiteral("online"));
        m_display.silent = true;
        m_fixture.controller->pump().send(QStringLiteral("get volume"));
        m_fixture.clock->advance(10);
        QCOMPARE(availability(), QStringLiteral("offline"));
        m_display.silent = false;
        m_fixture.controller->pump().send(QStringLiteral("get volume"));
        m_fixture.clock->advance(10);
        QCOMPARE(availability(), QStringLiteral("online"));
        m_fixture.lines.lose(QStringLiteral("weg"));
        QCOMPARE(availability(), QStringLiteral("offline"));
    }

    // Another display behind the same line is another device: the old one's retained
    // messages are emptied, the new one announced.
    void swappedDisplay()
    {
        connectDisplay();
        m_display.serial = QStringLiteral("B2");
        m_fixture.controller->pump().refreshAll();
        m_fixture.clock->advance(2);
        QCOMPARE(m_bridge->serialToken(), QStringLiteral("B2"));
        for (const MqttMessage& removal : HomeAssistant::removal(serialA))
            QVERIFY2(m_outlet.last(removal.topic) == QByteArray(), qPrintable(removal.topic));
        QCOMPARE(m_outlet.last(HomeAssistant::availabilityTopic(QStringLiteral("B2"))),
                 QByteArray("online"));
        QVERIFY(m_outlet.last(HomeAssistant::stateTopic(QStringLiteral("B2"), "volume")));
    }

    // Not connected to the broker: nothing goes out, and nothing is thought sent.
    void nothingWhileOffline()
    {
        m_outlet.connected = false;
        connectDisplay();
        QVERIFY(m_outlet.sent.isEmpty());
        m_outlet.connected = true;
        m_bridge->republish();
        QCOMPARE(state("volume"), QStringLiteral("30"));
    }
};

QTEST_GUILESS_MAIN(DisplayBridgeTest)
#include "test_display_bridge.moc"

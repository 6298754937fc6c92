#include "serial/SerialSettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using S = SerialSettings;
using D = S::DataBits;
using P = S::Parity;
using B = S::StopBits;

namespace {

QByteArray defaultJsonWith(const QString& key, const QJsonValue& value)
{
    QJsonObject object = QJsonDocument::fromJson(*S::smartStandard().toJson()).object();
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return QJsonDocument(object).toJson();
}

} // namespace

class SerialSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void summary()
    {
        QCOMPARE(S::smartStandard().summary(), QStringLiteral("19200 \u00B7 8N1"));
        // Flow control is not shown.
        QCOMPARE((S{9600, D::seven, P::even, B::two, S::FlowControl::rtsCts}.summary()),
                 QStringLiteral("9600 \u00B7 7E2"));
    }

    void defaultJsonHasTheStandardValues()
    {
        const QByteArray json = *S::smartStandard().toJson();
        QCOMPARE(json, QByteArray("{\"baudRate\":19200,\"dataBits\":8,\"parity\":\"none\","
                                  "\"stopBits\":1,\"flowControl\":\"none\",\"lineEnding\":\"cr\","
                                  "\"responseTimeout\":1.5,\"interCommandDelay\":0.05,"
                                  "\"assertDTR\":true,\"assertRTS\":true}"));
    }

    void roundTrip()
    {
        // Every field changed; the timeout is not exactly representable.
        const S other{
            250000,    D::five, P::even, B::two, S::FlowControl::xonXoff, S::LineEnding::crlf,
            0.1 + 0.2, 0,       false,   false};
        for (const S& settings : {S::smartStandard(), other}) {
            const auto json = settings.toJson();
            QVERIFY(json);
            QCOMPARE(S::fromJson(*json), std::optional(settings));
        }
    }

    void rejectsBadRecords_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not json") << QByteArray("baudRate=19200");
        for (const char* key :
             {"baudRate", "dataBits", "parity", "stopBits", "flowControl", "lineEnding",
              "responseTimeout", "interCommandDelay", "assertDTR", "assertRTS"})
            QTest::addRow("missing %s", key) << defaultJsonWith(key, QJsonValue::Undefined);
        QTest::newRow("unknown parity") << defaultJsonWith("parity", "mark");
        QTest::newRow("nine data bits") << defaultJsonWith("dataBits", 9);
        QTest::newRow("unknown flow") << defaultJsonWith("flowControl", "RTSCTS");
        QTest::newRow("baud as text") << defaultJsonWith("baudRate", "19200");
        QTest::newRow("fractional baud") << defaultJsonWith("baudRate", 19200.5);
        // Values that would make the tool wait a day, or fail every command at once.
        QTest::newRow("baud below 50") << defaultJsonWith("baudRate", 49);
        QTest::newRow("baud above 12 MBd") << defaultJsonWith("baudRate", 12'000'001);
        QTest::newRow("timeout below 0.1 s") << defaultJsonWith("responseTimeout", 0.09);
        QTest::newRow("timeout above a minute") << defaultJsonWith("responseTimeout", 60.5);
        QTest::newRow("negative pause") << defaultJsonWith("interCommandDelay", -0.01);
        QTest::newRow("pause of 1e300 s") << defaultJsonWith("interCommandDelay", 1e300);
        QTest::newRow("flag as number") << defaultJsonWith("assertDTR", 1);
    }
    void rejectsBadRecords()
    {
        QFETCH(QByteArray, json);
        QCOMPARE(S::fromJson(json), std::nullopt);
    }

    // The bounds themselves pass, given as JSON's doubles even for whole numbers.
    void boundsAreIncluded()
    {
        for (const auto& [key, value] : {std::pair{"baudRate", 50.0},
                                         {"baudRate", 12'000'000.0},
                                         {"responseTimeout", 0.1},
                                         {"responseTimeout", 60.0},
                                         {"interCommandDelay", 0.0},
                                         {"interCommandDelay", 10.0}})
            QVERIFY2(S::fromJson(defaultJsonWith(key, value)), key);
    }
};

QTEST_APPLESS_MAIN(SerialSettingsTest)
#include "test_serial_settings.moc"

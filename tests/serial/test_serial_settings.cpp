#include "serial/SerialSettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using S = SerialSettings;

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
    void summary_data()
    {
        QTest::addColumn<S>("settings");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default") << S::smartStandard() << QStringLiteral("19200 \u00B7 8N1");
        S odd;
        odd.parity = S::Parity::odd;
        odd.stopBits = S::StopBits::two;
        QTest::newRow("odd, two stop bits") << odd << QStringLiteral("19200 \u00B7 8O2");
        S seven;
        seven.baudRate = 9600;
        seven.dataBits = S::DataBits::seven;
        seven.parity = S::Parity::even;
        seven.stopBits = S::StopBits::two;
        seven.flowControl = S::FlowControl::rtsCts;
        QTest::newRow("9600 7E2, flow control not shown")
            << seven << QStringLiteral("9600 \u00B7 7E2");
    }
    void summary()
    {
        QFETCH(S, settings);
        QFETCH(QString, expected);
        QCOMPARE(settings.summary(), expected);
    }

    void defaultJsonHasTheStandardValues()
    {
        const QByteArray json = *S::smartStandard().toJson();
        QCOMPARE(json, QByteArray("{\"baudRate\":19200,\"dataBits\":8,\"parity\":\"none\","
                                  "\"stopBits\":1,\"flowControl\":\"none\",\"lineEnding\":\"cr\","
                                  "\"responseTimeout\":1.5,\"interCommandDelay\":0.05,"
                                  "\"assertDTR\":true,\"assertRTS\":true}"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<S>("settings");
        QTest::newRow("default") << S::smartStandard();
        S other;
        other.baudRate = 250000;
        other.dataBits = S::DataBits::five;
        other.parity = S::Parity::even;
        other.stopBits = S::StopBits::two;
        other.flowControl = S::FlowControl::xonXoff;
        other.lineEnding = S::LineEnding::crlf;
        other.responseTimeout = 0.1 + 0.2; // not exactly representable
        other.interCommandDelay = 0;
        other.assertDTR = false;
        other.assertRTS = false;
        QTest::newRow("every field changed") << other;
    }
    void roundTrip()
    {
        QFETCH(S, settings);
        const auto json = settings.toJson();
        QVERIFY(json);
        const auto decoded = S::fromJson(*json);
        QVERIFY(decoded);
        QCOMPARE(*decoded, settings);
    }

    void rejectsBadRecords_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not json") << QByteArray("baudRate=19200");
        QTest::newRow("array") << QByteArray("[1,2]");
        for (const char* key :
             {"baudRate", "dataBits", "parity", "stopBits", "flowControl", "lineEnding",
              "responseTimeout", "interCommandDelay", "assertDTR", "assertRTS"})
            QTest::addRow("missing %s", key) << defaultJsonWith(key, QJsonValue::Undefined);
        QTest::newRow("unknown parity") << defaultJsonWith("parity", "mark");
        QTest::newRow("nine data bits") << defaultJsonWith("dataBits", 9);
        QTest::newRow("three stop bits") << defaultJsonWith("stopBits", 3);
        QTest::newRow("unknown flow") << defaultJsonWith("flowControl", "RTSCTS");
        QTest::newRow("unknown ending") << defaultJsonWith("lineEnding", "\r");
        QTest::newRow("baud as text") << defaultJsonWith("baudRate", "19200");
        QTest::newRow("fractional baud") << defaultJsonWith("baudRate", 19200.5);
        QTest::newRow("negative baud") << defaultJsonWith("baudRate", -9600);
        QTest::newRow("fractional data bits") << defaultJsonWith("dataBits", 7.5);
        QTest::newRow("timeout as text") << defaultJsonWith("responseTimeout", "1.5");
        QTest::newRow("flag as number") << defaultJsonWith("assertDTR", 1);
    }
    void rejectsBadRecords()
    {
        QFETCH(QByteArray, json);
        QCOMPARE(S::fromJson(json), std::nullopt);
    }

    void integralDoublesAreIntegers()
    {
        const auto decoded = S::fromJson(defaultJsonWith("baudRate", 9600.0));
        QVERIFY(decoded);
        QCOMPARE(decoded->baudRate, 9600);
    }

    void flagsTakePartInEquality()
    {
        S a;
        S b;
        b.assertRTS = false;
        QVERIFY(a != b);
    }

    void casesAndLabels()
    {
        QCOMPARE(allCases(S::Parity{}).size(), 3);
        QCOMPARE(label(S::Parity::even), QStringLiteral("Gerade (Even)"));
        QCOMPARE(label(S::LineEnding::cr), QStringLiteral("CR (\\r)"));
        QCOMPARE(label(S::LineEnding::cr).size(), 7);
        QCOMPARE(label(S::FlowControl::rtsCts), QStringLiteral("Hardware (RTS/CTS)"));
        QCOMPARE(lineEndingBytes(S::LineEnding::crlf), QByteArray("\r\n"));
        QCOMPARE(dataBitsFromRaw(4), std::nullopt);
        QCOMPARE(S::offeredBaudRates().last(), 230400);
    }
};

QTEST_APPLESS_MAIN(SerialSettingsTest)
#include "test_serial_settings.moc"

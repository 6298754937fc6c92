#include "line/SerialSettings.h"
#include "line/tty/LineAttributes.h"
#include "protocol/HexBytes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using S = SerialSettings;
using D = S::DataBits;
using P = S::Parity;
using B = S::StopBits;
using F = S::FlowControl;

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

// Attributes as a cooked terminal leaves them, with every bit the settings may clear.
termios configured(const S& settings)
{
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | ISTRIP;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL | CIBAUD;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    applyLineSettings(t, settings);
    return t;
}

} // namespace

// The settings record, its termios attributes and the hex grammar of typed bytes.
class SerialSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void jsonRoundTrip()
    {
        QCOMPARE(*S::smartStandard().toJson(),
                 QByteArray("{\"baudRate\":19200,\"dataBits\":8,\"parity\":\"none\","
                            "\"stopBits\":1,\"flowControl\":\"none\",\"lineEnding\":\"cr\","
                            "\"responseTimeout\":1.5,\"interCommandDelay\":0.05,"
                            "\"assertDTR\":true,\"assertRTS\":true}"));
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

    void frame_data()
    {
        QTest::addColumn<S>("settings");
        QTest::addColumn<uint>("cflagSet"); // besides the character size
        QTest::addColumn<uint>("cflagClear");
        QTest::addColumn<uint>("iflagSet");
        QTest::addColumn<uint>("iflagClear");
        const auto row = [](const char* tag, const S& s, uint cSet, uint cClear, uint iSet,
                            uint iClear) {
            QTest::newRow(tag) << s << cSet << cClear << iSet << iClear;
        };
        row("8N1, no flow control", S::smartStandard(), CS8 | CLOCAL | CREAD,
            PARENB | PARODD | CSTOPB | CRTSCTS | CIBAUD, 0, IXON | IXOFF | IXANY);
        row("7E1: odd cleared", S{19200, D::seven, P::even, B::one, F::none}, CS7 | PARENB, PARODD,
            0, 0);
        row("5O2", S{19200, D::five, P::odd, B::two, F::none}, CS5 | PARENB | PARODD | CSTOPB, 0, 0,
            0);
        row("6N1", S{19200, D::six, P::none, B::one, F::none}, CS6, PARENB, 0, 0);
        row("RTS/CTS", S{19200, D::eight, P::none, B::one, F::rtsCts}, CS8 | CRTSCTS, 0, 0,
            IXON | IXOFF | IXANY);
        row("XON/XOFF without IXANY", S{19200, D::eight, P::none, B::one, F::xonXoff}, CS8, CRTSCTS,
            IXON | IXOFF, IXANY);
    }
    void frame()
    {
        QFETCH(S, settings);
        QFETCH(uint, cflagSet);
        QFETCH(uint, cflagClear);
        QFETCH(uint, iflagSet);
        QFETCH(uint, iflagClear);
        const termios t = configured(settings);
        QCOMPARE(uint(t.c_cflag & (CSIZE | cflagSet)), cflagSet);
        QCOMPARE(uint(t.c_cflag & cflagClear), 0u);
        QCOMPARE(uint(t.c_iflag & iflagSet), iflagSet);
        QCOMPARE(uint(t.c_iflag & iflagClear), 0u);
        QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG)), 0u);
        QCOMPARE(uint(t.c_oflag & OPOST), 0u);
        QVERIFY(t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0); // reads return at once
    }

    // No step for 250000: the speed stays, the exact rate is set by ioctl afterwards; 0 must
    // not become B0, which means "hang up". RTS/CTS forces RTS.
    void speedAndModemLines()
    {
        for (const auto& [rate, expected] :
             {std::pair<qint64, speed_t>{19200, B19200}, {250000, B9600}, {0, B9600}}) {
            S s = S::smartStandard();
            s.baudRate = rate;
            const termios t = configured(s);
            QCOMPARE(cfgetospeed(&t), expected);
            QCOMPARE(cfgetispeed(&t), expected);
        }

        const auto lines = [](S::FlowControl flow, bool dtr, bool rts) {
            S s = S::smartStandard();
            s.flowControl = flow;
            s.assertDTR = dtr;
            s.assertRTS = rts;
            return ::modemLines(s);
        };
        QCOMPARE(lines(F::none, true, true), (ModemLines{true, true}));
        QCOMPARE(lines(F::none, false, false), (ModemLines{false, false}));
        QCOMPARE(lines(F::rtsCts, false, false), (ModemLines{false, true})); // forces RTS
        QCOMPARE(lines(F::xonXoff, true, false), (ModemLines{true, false}));
    }

    void hexGrammar()
    {
        const auto bytes = [](const QString& typed) { return parseHexBytes(typed).value_or("-"); };
        const QByteArray hal("\x48\x61\x6C");
        QCOMPARE(bytes("0X48,61,6c"), hal);
        QCOMPARE(bytes("48:61;6C"), hal);
        QCOMPARE(bytes("48\t61\n6C"), hal);
        QCOMPARE(bytes("480x61"), QByteArray("\x48\x61"));
        QCOMPARE(bytes("ABC"), QByteArray("\x0A\xBC"));
        QCOMPARE(bytes("+F"), QByteArray("\x0F"));
        QCOMPARE(bytes("00 7F 80 FF"), QByteArray("\x00\x7F\x80\xFF", 4));
        for (const char* invalid : {"4G", "-1", "", "48\r61"}) // CR is no separator
            QVERIFY2(!parseHexBytes(invalid), invalid);
    }
};

QTEST_APPLESS_MAIN(SerialSettingsTest)
#include "test_serial_settings.moc"

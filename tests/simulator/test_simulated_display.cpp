#include "simulator/SimulatedDisplay.h"

#include <QTest>

using Answers = QList<QByteArray>;

namespace {

QByteArray value(const char* name, const QByteArray& v)
{
    return QByteArray("\r\n") + name + '=' + v + "\r\n>";
}

const QByteArray prompt("\r\n>");
const QByteArray invalidCmd("\r\ninvalid cmd\r\n>");
const QByteArray invalidVal("\r\ninvalid val\r\n>");
const QByteArray help("\r\nget/set powerstate input volume mute brightness ...\r\n>");

} // namespace

class SimulatedDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void conversation_data()
    {
        QTest::addColumn<DisplaySeries>("series");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Answers>("expected");
        const auto qx = DisplaySeries::qx;
        const auto rx = DisplaySeries::rx;

        // Queries
        QTest::newRow("get volume")
            << qx << QByteArray("get volume\r") << Answers{value("volume", "30")};
        QTest::newRow("upper case, double space")
            << qx << QByteArray("GET  VOLUME\r") << Answers{value("volume", "30")};
        QTest::newRow("three spaces become two")
            << qx << QByteArray("get   volume\r") << Answers{value("volume", "30")};
        QTest::newRow("help") << qx << QByteArray("get help\r") << Answers{help};
        QTest::newRow("unknown name") << qx << QByteArray("get foo\r") << Answers{invalidCmd};
        QTest::newRow("no verb") << qx << QByteArray("hello\r") << Answers{invalidCmd};
        QTest::newRow("empty line") << qx << QByteArray("\r") << Answers{prompt};
        QTest::newRow("CR LF answers twice")
            << qx << QByteArray("get volume\r\n") << Answers{value("volume", "30"), prompt};
        QTest::newRow("tab dropped") << qx << QByteArray("get\tvolume\r") << Answers{invalidCmd};
        QTest::newRow("control bytes dropped")
            << qx << QByteArray("get vol\x07u\x00me\r", 13) << Answers{value("volume", "30")};
        QTest::newRow("blanks around the line")
            << qx << QByteArray("  get mute  \n") << Answers{value("mute", "off")};
        QTest::newRow("model QX") << qx << QByteArray("get modelnum\r")
                                  << Answers{value("modelnum", "SBID-QX286")};
        QTest::newRow("model RX") << rx << QByteArray("get modelnum\r")
                                  << Answers{value("modelnum", "SBID-RX086")};
        QTest::newRow("part number")
            << rx << QByteArray("get partnum\r") << Answers{value("partnum", "1033157 REV A")};
        QTest::newRow("initial state")
            << qx
            << QByteArray("get powerstate\rget input\rget brightness\rget micmute\r"
                          "get videofreeze\rget screenshade\rget statereporting\r"
                          "get serialnum\rget fwversion\r")
            << Answers{value("powerstate", "on"),      value("input", "hdmi1"),
                       value("brightness", "80"),      value("micmute", "off"),
                       value("videofreeze", "off"),    value("screenshade", "off"),
                       value("statereporting", "off"), value("serialnum", "SIM0000001"),
                       value("fwversion", "1.07.0021")};
        QTest::newRow("unfinished line waits") << qx << QByteArray("get volume") << Answers{};

        // Levels
        QTest::newRow("step up, then far down")
            << qx << QByteArray("set volume+5\rset volume-50\r")
            << Answers{value("volume", "35"), value("volume", "0")};
        QTest::newRow("above 100")
            << qx << QByteArray("set brightness=250\r") << Answers{value("brightness", "100")};
        QTest::newRow("not a number")
            << qx << QByteArray("set volume=abc\r") << Answers{invalidVal};
        QTest::newRow("sign only") << qx << QByteArray("set volume+\r") << Answers{invalidVal};
        QTest::newRow("trailing letters")
            << qx << QByteArray("set volume=5x\r") << Answers{invalidVal};
        QTest::newRow("spaces around =")
            << qx << QByteArray("set volume = 40\r") << Answers{value("volume", "40")};
        QTest::newRow("negative operand adds down")
            << qx << QByteArray("set volume+-10\r") << Answers{value("volume", "20")};
        QTest::newRow("stored and read back")
            << qx << QByteArray("set volume=77\rget volume\r")
            << Answers{value("volume", "77"), value("volume", "77")};

        // The 64-bit edges
        QTest::newRow("operand beyond 64 bits")
            << qx << QByteArray("set volume+99999999999999999999\r") << Answers{invalidVal};
        QTest::newRow("one above the largest")
            << qx << QByteArray("set volume=9223372036854775808\r") << Answers{invalidVal};
        QTest::newRow("largest, sum overflows")
            << qx << QByteArray("set volume+9223372036854775807\r")
            << Answers{value("volume", "100")};
        QTest::newRow("minus the smallest overflows")
            << qx << QByteArray("set brightness--9223372036854775808\r")
            << Answers{value("brightness", "100")};
        QTest::newRow("plus the smallest") << qx << QByteArray("set volume+-9223372036854775808\r")
                                           << Answers{value("volume", "0")};
        QTest::newRow("smallest assigned") << qx << QByteArray("set volume=-9223372036854775808\r")
                                           << Answers{value("volume", "0")};

        // Power states by series
        QTest::newRow("ready on QX")
            << qx << QByteArray("set powerstate=ready\r") << Answers{value("powerstate", "ready")};
        QTest::newRow("ready on RX")
            << rx << QByteArray("set powerstate=ready\r") << Answers{invalidVal};
        QTest::newRow("update state QX")
            << qx << QByteArray("set powerstate=updateon\r") << Answers{invalidVal};
        QTest::newRow("update state RX")
            << rx << QByteArray("set powerstate=updateon\r") << Answers{invalidVal};
        QTest::newRow("operator not looked at") << rx << QByteArray("set powerstate+standby\r")
                                                << Answers{value("powerstate", "standby")};

        // Other settings
        QTest::newRow("read-only") << qx << QByteArray("set modelnum=x\r") << Answers{invalidCmd};
        QTest::newRow("lowered value")
            << qx << QByteArray("set input=HDMI2\r") << Answers{value("input", "hdmi2")};
        QTest::newRow("no operator") << qx << QByteArray("set mute\r") << Answers{invalidCmd};
        QTest::newRow("empty value")
            << qx << QByteArray("set mute=\r") << Answers{value("mute", "")};
        QTest::newRow("factory reset")
            << qx << QByteArray("set factoryreset=1\r") << Answers{invalidCmd};
        QTest::newRow("reporting on, no reports")
            << qx << QByteArray("set statereporting=on\rset volume=10\r")
            << Answers{value("statereporting", "on"), value("volume", "10")};
        QTest::newRow("Latin-1 in, UTF-8 out")
            << qx << QByteArray("set input=\xc4x\r") << Answers{value("input", "\xc3\xa4x")};

        // The bound on an unended line
        const QByteArray longValue(SimulatedDisplay::maxLineLength - 10, 'h');
        QTest::newRow("line ended by its length")
            << qx << QByteArray("set input=" + longValue) << Answers{value("input", longValue)};
        QTest::newRow("rest of a long line is a line of its own")
            << qx << QByteArray(SimulatedDisplay::maxLineLength + 5, 'a') + "\r"
            << Answers{invalidCmd, invalidCmd};
    }

    void conversation()
    {
        QFETCH(DisplaySeries, series);
        QFETCH(QByteArray, input);
        QFETCH(Answers, expected);
        SimulatedDisplay display(series);
        QCOMPARE(display.receive(input), expected);
    }

    void chunksMayEndAnywhere()
    {
        SimulatedDisplay display(DisplaySeries::qx);
        Answers answers;
        for (const char byte : QByteArray("set volume+5\rget volume\r"))
            answers += display.receive(QByteArray(1, byte));
        QCOMPARE(answers, (Answers{value("volume", "35"), value("volume", "35")}));
    }

    void unendedLineIsBounded()
    {
        SimulatedDisplay display(DisplaySeries::qx);
        const QByteArray flood(10 * SimulatedDisplay::maxLineLength + 7, 'z');
        QCOMPARE(display.receive(flood).size(), 10);
        QCOMPARE(display.line().size(), 7);
    }
};

QTEST_GUILESS_MAIN(SimulatedDisplayTest)
#include "test_simulated_display.moc"

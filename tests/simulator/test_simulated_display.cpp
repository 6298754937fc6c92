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
        const auto row = [](const char* tag, DisplaySeries series, const QByteArray& input,
                            const Answers& expected) {
            QTest::newRow(tag) << series << input << expected;
        };
        const Answers volume30{value("volume", "30")};

        // Queries
        row("get volume", qx, "get volume\r", volume30);
        row("upper case, double space", qx, "GET  VOLUME\r", volume30);
        row("help", qx, "get help\r", {help});
        row("unknown name", qx, "get foo\r", {invalidCmd});
        row("no verb", qx, "hello\r", {invalidCmd});
        row("empty line", qx, "\r", {prompt});
        row("CR LF answers twice", qx, "get volume\r\n", {value("volume", "30"), prompt});
        row("control bytes dropped", qx, QByteArray("get vol\x07u\x00me\r", 13), volume30);
        row("blanks around the line", qx, "  get mute  \n", {value("mute", "off")});
        row("model RX", rx, "get modelnum\r", {value("modelnum", "SBID-RX086")});
        row("initial state", qx,
            "get powerstate\rget input\rget brightness\rget micmute\rget videofreeze\r"
            "get screenshade\rget statereporting\rget serialnum\rget fwversion\rget partnum\r"
            "get modelnum\r",
            {value("powerstate", "on"), value("input", "hdmi1"), value("brightness", "80"),
             value("micmute", "off"), value("videofreeze", "off"), value("screenshade", "off"),
             value("statereporting", "off"), value("serialnum", "SIM0000001"),
             value("fwversion", "1.07.0021"), value("partnum", "1033157 REV A"),
             value("modelnum", "SBID-QX286")});
        row("unfinished line waits", qx, "get volume", {});

        // Levels
        row("step up, then far down", qx, "set volume+5\rset volume-50\r",
            {value("volume", "35"), value("volume", "0")});
        row("above 100", qx, "set brightness=250\r", {value("brightness", "100")});
        row("not a number", qx, "set volume=abc\r", {invalidVal});
        row("sign only", qx, "set volume+\r", {invalidVal});
        row("spaces around =", qx, "set volume = 40\r", {value("volume", "40")});
        row("negative operand adds down", qx, "set volume+-10\r", {value("volume", "20")});

        // The 64-bit edges
        row("operand beyond 64 bits", qx, "set volume+99999999999999999999\r", {invalidVal});
        row("one above the largest", qx, "set volume=9223372036854775808\r", {invalidVal});
        row("largest, sum overflows", qx, "set volume+9223372036854775807\r",
            {value("volume", "100")});
        row("minus the smallest overflows", qx, "set brightness--9223372036854775808\r",
            {value("brightness", "100")});
        row("plus the smallest", qx, "set volume+-9223372036854775808\r", {value("volume", "0")});
        row("smallest assigned", qx, "set volume=-9223372036854775808\r", {value("volume", "0")});

        // Power states by series
        row("ready on QX", qx, "set powerstate=ready\r", {value("powerstate", "ready")});
        row("ready on RX", rx, "set powerstate=ready\r", {invalidVal});
        row("operator not looked at", rx, "set powerstate+standby\r",
            {value("powerstate", "standby")});

        // Other settings
        row("read-only", qx, "set modelnum=x\r", {invalidCmd});
        row("lowered value", qx, "set input=HDMI2\r", {value("input", "hdmi2")});
        row("no operator", qx, "set mute\r", {invalidCmd});
        row("empty value", qx, "set mute=\r", {value("mute", "")});
        row("factory reset", qx, "set factoryreset=1\r", {invalidCmd});
        row("reporting on, no reports", qx, "set statereporting=on\rset volume=10\r",
            {value("statereporting", "on"), value("volume", "10")});
        row("Latin-1 in, UTF-8 out", qx, "set input=\xc4x\r", {value("input", "\xc3\xa4x")});
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

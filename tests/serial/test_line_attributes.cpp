#include "serial/LineAttributes.h"

#include <QTest>

using S = SerialSettings;

namespace {

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

class LineAttributesTest : public QObject {
    Q_OBJECT

private slots:
    void frame_data()
    {
        QTest::addColumn<S>("settings");
        QTest::addColumn<uint>("cflagSet"); // besides the character size
        QTest::addColumn<uint>("cflagClear");
        QTest::addColumn<uint>("iflagSet");
        QTest::addColumn<uint>("iflagClear");
        using D = S::DataBits;
        using P = S::Parity;
        using B = S::StopBits;
        using F = S::FlowControl;
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
    }

    // No step for 250000: the speed stays, the exact rate is set by ioctl afterwards;
    // 0 must not become B0, which means "hang up".
    void speed()
    {
        for (const auto& [rate, expected] :
             {std::pair<qint64, speed_t>{19200, B19200}, {250000, B9600}, {0, B9600}}) {
            S s = S::smartStandard();
            s.baudRate = rate;
            const termios t = configured(s);
            QCOMPARE(cfgetospeed(&t), expected);
            QCOMPARE(cfgetispeed(&t), expected);
        }
    }

    void modemLines()
    {
        const auto lines = [](S::FlowControl flow, bool dtr, bool rts) {
            S s = S::smartStandard();
            s.flowControl = flow;
            s.assertDTR = dtr;
            s.assertRTS = rts;
            return ::modemLines(s);
        };
        using F = S::FlowControl;
        QCOMPARE(lines(F::none, true, true), (ModemLines{true, true}));
        QCOMPARE(lines(F::none, false, false), (ModemLines{false, false}));
        QCOMPARE(lines(F::rtsCts, false, false), (ModemLines{false, true})); // forces RTS
        QCOMPARE(lines(F::xonXoff, true, false), (ModemLines{true, false}));
    }
};

QTEST_GUILESS_MAIN(LineAttributesTest)
#include "test_line_attributes.moc"

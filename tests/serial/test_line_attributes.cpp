#include "serial/LineAttributes.h"

#include <QTest>

using S = SerialSettings;

namespace {

// Attributes as a cooked terminal leaves them, with every bit the settings may clear.
termios dirtyAttributes()
{
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | ISTRIP;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

termios configured(const S& settings)
{
    termios t = dirtyAttributes();
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
        QTest::addColumn<uint>("size");
        QTest::addColumn<uint>("cflagSet");
        QTest::addColumn<uint>("cflagClear");
        QTest::addColumn<uint>("iflagSet");
        QTest::addColumn<uint>("iflagClear");

        S standard = S::smartStandard();
        QTest::newRow("8N1, no flow control")
            << standard << uint(CS8) << uint(CLOCAL | CREAD)
            << uint(PARENB | PARODD | CSTOPB | CRTSCTS) << 0u << uint(IXON | IXOFF | IXANY);

        S s = standard;
        s.dataBits = S::DataBits::seven;
        s.parity = S::Parity::even;
        QTest::newRow("7E1: odd cleared")
            << s << uint(CS7) << uint(PARENB) << uint(PARODD) << 0u << 0u;

        s = standard;
        s.dataBits = S::DataBits::five;
        s.parity = S::Parity::odd;
        s.stopBits = S::StopBits::two;
        QTest::newRow("5O2") << s << uint(CS5) << uint(PARENB | PARODD | CSTOPB) << 0u << 0u << 0u;

        s = standard;
        s.dataBits = S::DataBits::six;
        QTest::newRow("6N1") << s << uint(CS6) << 0u << uint(PARENB) << 0u << 0u;

        s = standard;
        s.flowControl = S::FlowControl::rtsCts;
        QTest::newRow("RTS/CTS") << s << uint(CS8) << uint(CRTSCTS) << 0u << 0u
                                 << uint(IXON | IXOFF | IXANY);

        s = standard;
        s.flowControl = S::FlowControl::xonXoff;
        QTest::newRow("XON/XOFF without IXANY")
            << s << uint(CS8) << 0u << uint(CRTSCTS) << uint(IXON | IXOFF) << uint(IXANY);
    }

    void frame()
    {
        QFETCH(S, settings);
        QFETCH(uint, size);
        QFETCH(uint, cflagSet);
        QFETCH(uint, cflagClear);
        QFETCH(uint, iflagSet);
        QFETCH(uint, iflagClear);
        const termios t = configured(settings);
        QCOMPARE(uint(t.c_cflag & CSIZE), size);
        QCOMPARE(uint(t.c_cflag & cflagSet), cflagSet);
        QCOMPARE(uint(t.c_cflag & cflagClear), 0u);
        QCOMPARE(uint(t.c_iflag & iflagSet), iflagSet);
        QCOMPARE(uint(t.c_iflag & iflagClear), 0u);
    }

    void speed_data()
    {
        QTest::addColumn<qint64>("rate");
        QTest::addColumn<uint>("expected");
        QTest::newRow("19200") << qint64(19200) << uint(B19200);
        QTest::newRow("230400") << qint64(230400) << uint(B230400);
        QTest::newRow("1200") << qint64(1200) << uint(B1200);
        // No step: the speed stays; the exact rate is set by ioctl afterwards.
        QTest::newRow("250000 keeps") << qint64(250000) << uint(B9600);
        QTest::newRow("0 is no hang-up") << qint64(0) << uint(B9600);
    }

    void speed()
    {
        QFETCH(qint64, rate);
        QFETCH(uint, expected);
        S s = S::smartStandard();
        s.baudRate = rate;
        const termios t = configured(s);
        QCOMPARE(uint(cfgetospeed(&t)), expected);
        QCOMPARE(uint(cfgetispeed(&t)), expected);
    }

    void staleInputSpeedIsCleared()
    {
        termios t = dirtyAttributes();
        t.c_cflag |= CIBAUD;
        applyLineSettings(t, S::smartStandard());
        QCOMPARE(uint(t.c_cflag & CIBAUD), 0u);
    }

    void modemLines_data()
    {
        QTest::addColumn<S::FlowControl>("flow");
        QTest::addColumn<bool>("assertDTR");
        QTest::addColumn<bool>("assertRTS");
        QTest::addColumn<ModemLines>("expected");
        using F = S::FlowControl;
        QTest::newRow("both asserted") << F::none << true << true << ModemLines{true, true};
        QTest::newRow("both cleared") << F::none << false << false << ModemLines{false, false};
        QTest::newRow("RTS/CTS forces RTS")
            << F::rtsCts << false << false << ModemLines{false, true};
        QTest::newRow("XON/XOFF leaves RTS")
            << F::xonXoff << true << false << ModemLines{true, false};
    }

    void modemLines()
    {
        QFETCH(S::FlowControl, flow);
        QFETCH(bool, assertDTR);
        QFETCH(bool, assertRTS);
        QFETCH(ModemLines, expected);
        S s = S::smartStandard();
        s.flowControl = flow;
        s.assertDTR = assertDTR;
        s.assertRTS = assertRTS;
        QCOMPARE(::modemLines(s), expected);
    }
};

QTEST_GUILESS_MAIN(LineAttributesTest)
#include "test_line_attributes.moc"

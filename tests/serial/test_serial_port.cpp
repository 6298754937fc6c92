#include "serial/PtyPair.h"
#include "serial/SerialPort.h"
#include "serial/TermiosSpeed.h"

#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

using S = SerialSettings;

namespace {

QString sys(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

termios attributesOf(int fd)
{
    termios t{};
    tcgetattr(fd, &t);
    return t;
}

// Every byte value, several times over, so that any translation on the way shows.
QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xff);
    return bytes;
}

} // namespace

// Opening, configuring and writing, on real pseudo-terminals.
class SerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void openCloseReopen()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        QCOMPARE(port.fd(), -1);
        QVERIFY(!port.open());
        QVERIFY(port.isOpen());
        const int fd = port.fd();
        QVERIFY(!port.open()); // already open: nothing happens
        QCOMPARE(port.fd(), fd);

        port.close();
        QVERIFY(!port.isOpen());
        QCOMPARE(port.fd(), -1);
        port.close(); // harmless

        QVERIFY(!port.open());
        QVERIFY(!port.write("again"));
        QCOMPARE(pty.read(5), QByteArray("again"));
    }

    void secondOpenerIsBusy()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort first(pty.slavePath(), S::smartStandard());
        SerialPort second(pty.slavePath(), S::smartStandard());
        QVERIFY(!first.open());

        const auto error = second.open();
        QVERIFY(error);
        QCOMPARE(error->kind(), SerialPortError::Kind::openFailed);
        QCOMPARE(error->errnum(), EBUSY);
        QCOMPARE(error->description(),
                 pty.slavePath() + QStringLiteral(" ist belegt – läuft noch ein Terminalprogramm "
                                                  "(screen, PuTTY, CoolTerm)?"));
        QVERIFY(!second.isOpen());

        first.close();
        QVERIFY(!second.open());
    }

    void openFailures()
    {
        const QString missing = QStringLiteral("/dev/bildwart-no-such-device");
        SerialPort port(missing, S::smartStandard());
        const auto error = port.open();
        QVERIFY(error);
        QCOMPARE(error->description(),
                 missing + QStringLiteral(" lässt sich nicht öffnen: ") + sys(ENOENT));
        QVERIFY(!port.isOpen());
    }

    void notATerminal()
    {
        SerialPort port(QStringLiteral("/dev/null"), S::smartStandard());
        for (int attempt = 0; attempt < 2; ++attempt) {
            // The second attempt fails the same way: the first released its
            // descriptor and lock.
            const auto error = port.open();
            QVERIFY(error);
            QCOMPARE(error->description(),
                     QStringLiteral("Schnittstelle nicht einstellbar: tcgetattr"));
            QCOMPARE(port.fd(), -1);
        }
    }

    void lineAttributes_data()
    {
        QTest::addColumn<S>("settings");
        QTest::addColumn<uint>("cflagSet");
        QTest::addColumn<uint>("cflagClear");
        QTest::addColumn<uint>("iflagSet");
        QTest::addColumn<uint>("iflagClear");
        // A pseudo-terminal always reports 8 data bits without parity enable, so
        // those are checked on the attributes alone (test_line_attributes).
        S even = S::smartStandard();
        even.parity = S::Parity::even;
        QTest::newRow("even clears odd")
            << even << 0u << uint(PARODD | CSTOPB | CRTSCTS) << 0u << uint(IXON | IXOFF | IXANY);
        S odd = S::smartStandard();
        odd.parity = S::Parity::odd;
        odd.stopBits = S::StopBits::two;
        QTest::newRow("odd, two stop bits")
            << odd << uint(PARODD | CSTOPB) << uint(CRTSCTS) << 0u << 0u;
        S rtsCts = S::smartStandard();
        rtsCts.flowControl = S::FlowControl::rtsCts;
        QTest::newRow("RTS/CTS") << rtsCts << uint(CRTSCTS) << uint(PARODD) << 0u
                                 << uint(IXON | IXOFF);
        S xonXoff = S::smartStandard();
        xonXoff.flowControl = S::FlowControl::xonXoff;
        QTest::newRow("XON/XOFF") << xonXoff << 0u << uint(CRTSCTS) << uint(IXON | IXOFF)
                                  << uint(IXANY);
    }

    void lineAttributes()
    {
        QFETCH(S, settings);
        QFETCH(uint, cflagSet);
        QFETCH(uint, cflagClear);
        QFETCH(uint, iflagSet);
        QFETCH(uint, iflagClear);
        PtyPair pty;
        QVERIFY(pty.isValid());

        // Whatever a previous program left on the line must not survive.
        termios cooked = attributesOf(pty.slave());
        cooked.c_cflag |= PARODD | CSTOPB | CRTSCTS;
        cooked.c_iflag |= IXON | IXOFF | IXANY | ICRNL;
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST;
        QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &cooked), 0);

        const auto check = [&](const char* when) {
            const termios t = attributesOf(pty.slave());
            QVERIFY2((t.c_cflag & cflagSet) == cflagSet, when);
            QVERIFY2((t.c_cflag & cflagClear) == 0, when);
            QVERIFY2((t.c_iflag & iflagSet) == iflagSet, when);
            QVERIFY2((t.c_iflag & iflagClear) == 0, when);
            QVERIFY2((t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD), when);
            QVERIFY2((t.c_lflag & (ICANON | ECHO | ISIG)) == 0, when);
            QVERIFY2((t.c_oflag & OPOST) == 0 && (t.c_iflag & ICRNL) == 0, when);
            QVERIFY2(t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0, when);
        };

        SerialPort port(pty.slavePath(), S::smartStandard());
        QVERIFY(!port.apply(settings)); // stored while closed, used by open()
        QVERIFY(!port.open());
        check("after open");

        // Applied to the open port, from the opposite of each setting and back.
        S opposite = settings;
        opposite.parity = settings.parity == S::Parity::odd ? S::Parity::even : S::Parity::odd;
        opposite.stopBits =
            settings.stopBits == S::StopBits::two ? S::StopBits::one : S::StopBits::two;
        opposite.flowControl = settings.flowControl == S::FlowControl::rtsCts
                                   ? S::FlowControl::xonXoff
                                   : S::FlowControl::rtsCts;
        QVERIFY(!port.apply(opposite));
        QCOMPARE(port.settings(), opposite);
        QVERIFY(!port.apply(settings));
        check("after apply");
    }

    void exactSpeed_data()
    {
        QTest::addColumn<qint64>("rate");
        QTest::newRow("19200") << qint64(19200);
        QTest::newRow("230400") << qint64(230400);
        QTest::newRow("250000") << qint64(250000);
        QTest::newRow("31250") << qint64(31250);
    }

    void exactSpeed()
    {
        QFETCH(qint64, rate);
        PtyPair pty;
        QVERIFY(pty.isValid());
        S settings = S::smartStandard();
        settings.baudRate = 9600;
        SerialPort port(pty.slavePath(), settings);
        QVERIFY(!port.open());
        QCOMPARE(readExactBaudRate(port.fd()), std::optional<qint64>(9600));
        settings.baudRate = rate;
        QVERIFY(!port.apply(settings));
        QCOMPARE(readExactBaudRate(port.fd()), std::optional<qint64>(rate));
    }

    void writeFailsWhenClosed()
    {
        SerialPort port(QStringLiteral("/dev/null"), S::smartStandard());
        const auto error = port.write("x");
        QVERIFY(error);
        QCOMPARE(error->kind(), SerialPortError::Kind::notOpen);
        QCOMPARE(error->description(), QStringLiteral("Schnittstelle ist nicht geöffnet."));
    }

    void writeEmptyAndBytes()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        QVERIFY(!port.open());
        QVERIFY(!port.write(QByteArray()));
        const QByteArray bytes = pattern(3000);
        QVERIFY(!port.write(bytes));
        // Nothing came of the empty write, and no byte was translated.
        QCOMPARE(pty.read(bytes.size()), bytes);
    }

    void writeGivesUpOnFullLine()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        QVERIFY(!port.open());
        // Far more than a pseudo-terminal buffers; the master does not read.
        const QByteArray bytes = pattern(4 * 1024 * 1024);
        const auto error = port.write(bytes);
        QVERIFY(error);
        QCOMPARE(error->kind(), SerialPortError::Kind::writeFailed);
        QCOMPARE(error->errnum(), EAGAIN);
        QVERIFY(!error->meansDeviceGone());

        // What went out before the failure stays out, in order and complete: make
        // room, send a marker and read up to it.
        QByteArray arrived = pty.readAvailable();
        QVERIFY(!port.write("after"));
        arrived += pty.readUntil("after");
        QVERIFY(arrived.endsWith("after"));
        arrived.chop(5);
        QVERIFY(arrived.size() > 0);
        QVERIFY(arrived.size() < bytes.size());
        QCOMPARE(arrived, bytes.first(arrived.size()));
    }

    void retryBudgetIsPerCall()
    {
        // A peer that keeps taking a little lets every retry make some progress; the
        // budget still runs out, so a slow line cannot hold the main thread for long.
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        QVERIFY(!port.open());
        std::atomic<bool> stop{false};
        QByteArray drained;
        std::thread peer([&] {
            char buffer[64];
            while (!stop.load()) {
                const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
                if (n > 0)
                    drained.append(buffer, n);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        const QByteArray bytes = pattern(4 * 1024 * 1024);
        const auto error = port.write(bytes);
        stop.store(true);
        peer.join();
        QVERIFY(error);
        QCOMPARE(error->errnum(), EAGAIN);
        QVERIFY(!drained.isEmpty());
        QCOMPARE(drained, bytes.first(drained.size()));
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "test_serial_port.moc"

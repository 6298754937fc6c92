#include "serial/PtyPair.h"
#include "serial/SerialPort.h"
#include "serial/TermiosSpeed.h"

#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

using S = SerialSettings;

namespace {

QString sys(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
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

// Opening, configuring and writing, on real pseudo-terminals. The termios bits for
// every setting are checked without a device (test_line_attributes).
class SerialPortTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPair> m_pty;

private slots:
    void init()
    {
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isValid());
    }

    // The exact German texts of every kind of failure are checked here, on the real thing.
    void openCloseAndFailures()
    {
        SerialPort first(m_pty->slavePath(), S::smartStandard());
        SerialPort second(m_pty->slavePath(), S::smartStandard());
        QCOMPARE(first.fd(), -1);
        QVERIFY(!first.open());
        const int fd = first.fd();
        QVERIFY(!first.open()); // already open: nothing happens
        QCOMPARE(first.fd(), fd);
        auto error = second.open();
        QVERIFY(error);
        QCOMPARE(error->kind(), SerialPortError::Kind::openFailed);
        QCOMPARE(error->description(),
                 m_pty->slavePath() +
                     QStringLiteral(" ist belegt – läuft noch ein "
                                    "Terminalprogramm (screen, PuTTY, CoolTerm)?"));
        QVERIFY(!second.isOpen());
        first.close();
        QCOMPARE(first.fd(), -1);
        first.close(); // harmless
        QVERIFY(!second.open());
        QVERIFY(!second.write("again"));
        QCOMPARE(m_pty->read(5), QByteArray("again"));

        const QString missing = QStringLiteral("/dev/bildwart-no-such-device");
        error = SerialPort(missing, S::smartStandard()).open();
        QVERIFY(error);
        QCOMPARE(error->description(), missing + " lässt sich nicht öffnen: " + sys(ENOENT));
        QVERIFY(!error->meansDeviceGone());

        SerialPort notATerminal("/dev/null", S::smartStandard());
        // The second attempt fails the same way: the first released descriptor and lock.
        for (int attempt = 0; attempt < 2; ++attempt) {
            error = notATerminal.open();
            QVERIFY(error);
            QCOMPARE(error->description(),
                     QStringLiteral("Schnittstelle nicht einstellbar: tcgetattr"));
            QCOMPARE(notATerminal.fd(), -1);
        }
        error = notATerminal.write("x");
        QVERIFY(error);
        QCOMPARE(error->description(), QStringLiteral("Schnittstelle ist nicht geöffnet."));
        QVERIFY(!error->meansDeviceGone());
    }

    void deviceGone()
    {
        QVERIFY(SerialPortError::writeFailed(EIO).meansDeviceGone());
        QVERIFY(SerialPortError::writeFailed(ENODEV).meansDeviceGone());
    }

    // Settings stored while closed are used by open(), later ones apply at once, and
    // whatever a previous program left on the line does not survive.
    void lineAttributesReachTheLine()
    {
        termios t{};
        tcgetattr(m_pty->slave(), &t);
        t.c_cflag |= CRTSCTS;
        t.c_iflag |= IXANY | ICRNL;
        t.c_lflag |= ICANON | ECHO;
        t.c_oflag |= OPOST;
        QCOMPARE(tcsetattr(m_pty->slave(), TCSANOW, &t), 0);

        const S odd{9600, S::DataBits::eight, S::Parity::odd, S::StopBits::two,
                    S::FlowControl::xonXoff};
        SerialPort port(m_pty->slavePath(), S::smartStandard());
        QVERIFY(!port.apply(odd));
        QVERIFY(!port.open());
        tcgetattr(m_pty->slave(), &t);
        QCOMPARE(t.c_cflag & (PARODD | CSTOPB | CRTSCTS), tcflag_t(PARODD | CSTOPB));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL), tcflag_t(IXON | IXOFF));
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
        QVERIFY(t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0);
        QCOMPARE(readExactBaudRate(port.fd()), std::optional<qint64>(9600));

        // Standard and other exact rates, too.
        S rtsCts{230400, S::DataBits::eight, S::Parity::none, S::StopBits::one,
                 S::FlowControl::rtsCts};
        for (const qint64 rate : {230400, 250000, 31250}) {
            rtsCts.baudRate = rate;
            QVERIFY(!port.apply(rtsCts));
            QCOMPARE(readExactBaudRate(port.fd()), std::optional<qint64>(rate));
        }
        QCOMPARE(port.settings(), rtsCts);
        tcgetattr(m_pty->slave(), &t);
        QCOMPARE(t.c_cflag & (PARODD | CSTOPB | CRTSCTS), tcflag_t(CRTSCTS));
        QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
    }

    void writeEmptyAndBytes()
    {
        SerialPort port(m_pty->slavePath(), S::smartStandard());
        QVERIFY(!port.open());
        QVERIFY(!port.write(QByteArray()));
        const QByteArray bytes = pattern(3000);
        QVERIFY(!port.write(bytes));
        // Nothing came of the empty write, and no byte was translated.
        QCOMPARE(m_pty->read(bytes.size()), bytes);
    }

    // The peer never reads (nothing drained), or keeps taking a little so that every
    // retry makes some progress: the retry budget runs out either way, so a slow line
    // cannot hold the main thread for long. What went out stays out, in order.
    void writeGivesUpOnFullLine_data()
    {
        QTest::addColumn<bool>("slowPeer");
        QTest::newRow("full line") << false;
        QTest::newRow("slow peer") << true;
    }
    void writeGivesUpOnFullLine()
    {
        QFETCH(bool, slowPeer);
        SerialPort port(m_pty->slavePath(), S::smartStandard());
        QVERIFY(!port.open());
        std::atomic<bool> stop{false};
        QByteArray arrived;
        std::thread peer([&] {
            while (slowPeer && !stop.load()) {
                char buffer[64];
                const ssize_t n = ::read(m_pty->master(), buffer, sizeof buffer);
                if (n > 0)
                    arrived.append(buffer, n);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // Far more than a pseudo-terminal buffers.
        const QByteArray bytes = pattern(4 * 1024 * 1024);
        const auto error = port.write(bytes);
        stop.store(true);
        peer.join();
        QVERIFY(error);
        QCOMPARE(error->description(), "Senden fehlgeschlagen: " + sys(EAGAIN));
        QVERIFY(!error->meansDeviceGone()); // only full

        // Make room, send a marker and read up to it.
        arrived += m_pty->readAvailable();
        QVERIFY(!port.write("after"));
        arrived += m_pty->readUntil([](const QByteArray& b) { return b.endsWith("after"); });
        QVERIFY(arrived.endsWith("after"));
        arrived.chop(5);
        QVERIFY(arrived.size() > 0 && arrived.size() < bytes.size());
        QCOMPARE(arrived, bytes.first(arrived.size()));
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "test_serial_port.moc"

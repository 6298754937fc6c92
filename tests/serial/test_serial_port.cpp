#include "Pty.h"
#include "Support.h"
#include "serial/SerialPort.h"
#include "serial/TermiosSpeed.h"

#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using S = SerialSettings;

namespace {

QString sys(int errnum)
{
    return systemText(errnum);
}

// Floods a master with bytes from its own thread, as fast as the pseudo-terminal takes
// them, until destroyed.
class Flooder {
public:
    explicit Flooder(int master)
        : m_thread([this, master] {
            const QByteArray block(4096, 'x');
            while (!m_stop.load()) {
                if (::write(master, block.constData(), size_t(block.size())) < 0) {
                    pollfd p{master, POLLOUT, 0};
                    poll(&p, 1, 10);
                }
            }
        })
    {
    }
    ~Flooder()
    {
        m_stop.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Every byte value, several times over, so that any translation on the way shows.
QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xff);
    return bytes;
}

} // namespace

// Opening, configuring, writing and reading on the event loop, on real pseudo-terminals.
// The termios bits for every setting are checked without a device (test_line_attributes).
class SerialPortTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<SerialPort> m_port;
    QByteArray m_received;
    QStringList m_closeReasons;
    qsizetype m_largestChunk = 0;

    void watch(SerialPort& port)
    {
        port.onData = [this](const QByteArray& chunk) {
            m_received += chunk;
            m_largestChunk = std::max(m_largestChunk, chunk.size());
        };
        port.onClose = [this](const QString& reason) { m_closeReasons.append(reason); };
    }

private slots:
    void init()
    {
        m_pty = std::make_unique<Pty>();
        QVERIFY(m_pty->isValid());
        m_port = std::make_unique<SerialPort>(m_pty->slavePath(), S::smartStandard());
        watch(*m_port);
        m_received.clear();
        m_closeReasons.clear();
        m_largestChunk = 0;
    }
    void cleanup()
    {
        m_port.reset();
        m_pty.reset();
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
        QCOMPARE(m_pty->readUntil([](const QByteArray& b) { return b.size() >= 5; }),
                 QByteArray("again"));

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
        QCOMPARE(m_pty->readUntil([&](const QByteArray& b) { return b.size() >= bytes.size(); }),
                 bytes);
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

    // Chunks arrive in order, none larger than one wake-up's share.
    void readsInOrder()
    {
        QVERIFY(!m_port->open());
        QByteArray sent;
        for (int i = 0; i < 5000; ++i)
            sent += QByteArray::number(i).rightJustified(6, '0') + "\r\n";
        QVERIFY(m_pty->writeAll(sent));
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), sent.size(), waitMs);
        QCOMPARE(m_received, sent);
        QVERIFY(m_largestChunk <= 4096);
        QVERIFY(m_closeReasons.isEmpty());
    }

    void otherSideClosing()
    {
        QVERIFY(!m_port->open());
        QVERIFY(m_pty->writeAll("last words"));
        QTRY_COMPARE_WITH_TIMEOUT(m_received, QByteArray("last words"), waitMs);
        m_pty->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(m_closeReasons, QStringList{"Gegenstelle getrennt"}, waitMs);
        // Reading has stopped: no second report, however often the loop turns.
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(m_closeReasons.size(), 1);
        // The descriptor stays until the owner closes the port.
        QVERIFY(m_port->isOpen());
        m_port->close();
        QVERIFY(!m_port->isOpen());
    }

    // A peer that sends without pause: the event loop keeps turning (a timer gets its
    // turn), and whatever was read before a close or a destruction is all there is.
    void floodKeepsTheLoopTurning_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("close") << false;
        QTest::newRow("destroy") << true;
    }
    void floodKeepsTheLoopTurning()
    {
        QFETCH(bool, destroy);
        Flooder flooder(m_pty->master());
        for (int round = 0; round < 10; ++round) {
            if (!m_port) {
                m_port = std::make_unique<SerialPort>(m_pty->slavePath(), S::smartStandard());
                watch(*m_port);
            }
            QVERIFY(!m_port->open());
            const qsizetype before = m_received.size();
            bool timerRan = false;
            QTimer::singleShot(0, [&] { timerRan = true; });
            QTRY_VERIFY_WITH_TIMEOUT(timerRan && m_received.size() > before, waitMs);
            destroy ? m_port.reset() : m_port->close();
            const qsizetype atClose = m_received.size();
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents();
            QCOMPARE(m_received.size(), atClose);
        }
        QVERIFY(m_largestChunk <= 4096);
        QVERIFY(m_closeReasons.isEmpty()); // closing is the owner's doing: nothing to report
    }

    // As a controller drops the port when it is lost, or while handling a chunk.
    void destroyedFromItsOwnCallback_data()
    {
        QTest::addColumn<bool>("onData");
        QTest::newRow("data") << true;
        QTest::newRow("close") << false;
    }
    void destroyedFromItsOwnCallback()
    {
        QFETCH(bool, onData);
        QString seen;
        m_port->onData = [this, &seen](const QByteArray& chunk) {
            seen = QString::fromLatin1(chunk);
            m_port.reset();
        };
        m_port->onClose = [this, &seen](const QString& reason) {
            seen = reason;
            m_port.reset();
        };
        QVERIFY(!m_port->open());
        if (onData)
            QVERIFY(m_pty->writeAll("hello"));
        else
            m_pty->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!m_port, waitMs);
        QCOMPARE(seen, onData ? QStringLiteral("hello") : QStringLiteral("Gegenstelle getrennt"));
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "test_serial_port.moc"

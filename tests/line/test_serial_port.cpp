#include "Pty.h"
#include "Support.h"
#include "line/tty/SerialPort.h"
#include "line/tty/TermiosSpeed.h"

#include <QScopeGuard>
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

// Every byte value, several times over, so that any translation on the way shows.
QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xff);
    return bytes;
}

void turnTheLoop()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

} // namespace

// Opening, configuring, writing and reading on the event loop, on real pseudo-terminals.
// The termios bits for every setting are checked without a device (test_serial_settings).
class SerialPortTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<SerialPort> m_port;
    QByteArray m_received;
    QStringList m_closeReasons;
    qsizetype m_largestChunk = 0;

private slots:
    void init()
    {
        m_pty = std::make_unique<Pty>();
        QVERIFY(m_pty->isValid());
        m_port = std::make_unique<SerialPort>(m_pty->slavePath(), S::smartStandard());
        m_port->onData = [this](const QByteArray& chunk) {
            m_received += chunk;
            m_largestChunk = std::max(m_largestChunk, chunk.size());
        };
        m_port->onClose = [this](const QString& reason) { m_closeReasons.append(reason); };
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
        SerialPort second(m_pty->slavePath(), S::smartStandard());
        QVERIFY(!m_port->open());
        QVERIFY(!m_port->open()); // already open: nothing happens
        auto error = second.open();
        QVERIFY(error);
        QCOMPARE(error->kind(), SerialPortError::Kind::openFailed);
        QCOMPARE(error->description(),
                 m_pty->slavePath() +
                     QStringLiteral(" ist belegt – läuft noch ein "
                                    "Terminalprogramm (screen, PuTTY, CoolTerm)?"));
        m_port->close();
        QCOMPARE(m_port->fd(), -1);
        QVERIFY(!second.open());
        QVERIFY(!second.write(QByteArray()));

        const QString missing = QStringLiteral("/dev/bildwart-no-such-device");
        error = SerialPort(missing, S::smartStandard()).open();
        QVERIFY(error);
        QCOMPARE(error->description(), missing + " lässt sich nicht öffnen: " + systemText(ENOENT));

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
    }

    // Settings stored while closed are used by open(), later ones apply at once, and the
    // exact rate is set where termios has no step for it.
    void settingsReachTheLine()
    {
        S settings{9600, S::DataBits::eight, S::Parity::odd, S::StopBits::two,
                   S::FlowControl::xonXoff};
        QVERIFY(!m_port->apply(settings));
        QVERIFY(!m_port->open());
        termios t{};
        tcgetattr(m_pty->slave(), &t);
        QCOMPARE(t.c_cflag & (PARODD | CSTOPB | CRTSCTS), tcflag_t(PARODD | CSTOPB));

        settings = {250000, S::DataBits::eight, S::Parity::none, S::StopBits::one,
                    S::FlowControl::rtsCts};
        QVERIFY(!m_port->apply(settings));
        QCOMPARE(readExactBaudRate(m_port->fd()), std::optional<qint64>(250000));
    }

    // A peer that keeps taking a little: the retry budget still runs out, so a slow line
    // cannot hold the main thread for long. What went out stays out, in order.
    void writeGivesUpOnASlowPeer()
    {
        QVERIFY(!m_port->open());
        std::atomic<bool> stop{false};
        QByteArray arrived;
        std::thread peer([&] {
            while (!stop.load()) {
                char buffer[64];
                const ssize_t n = ::read(m_pty->master(), buffer, sizeof buffer);
                if (n > 0)
                    arrived.append(buffer, n);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        const QByteArray bytes = pattern(4 * 1024 * 1024); // far more than a pty buffers
        const auto error = m_port->write(bytes);
        stop.store(true);
        peer.join();
        QVERIFY(error);
        QCOMPARE(error->description(), "Senden fehlgeschlagen: " + systemText(EAGAIN));
        QVERIFY(!error->meansDeviceGone());

        arrived += m_pty->readAvailable();
        QVERIFY(!m_port->write("after"));
        arrived += m_pty->readUntil([](const QByteArray& b) { return b.endsWith("after"); });
        QVERIFY(arrived.endsWith("after"));
        arrived.chop(5);
        QVERIFY(arrived.size() > 0 && arrived.size() < bytes.size());
        QCOMPARE(arrived, bytes.first(arrived.size()));
    }

    // Chunks arrive in order, none larger than one wake-up's share; then the other side
    // closes, which is reported once.
    void readsInOrderUntilTheOtherSideCloses()
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

        m_pty->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(m_closeReasons, QStringList{"Gegenstelle getrennt"}, waitMs);
        turnTheLoop();
        QCOMPARE(m_closeReasons.size(), 1);
        QVERIFY(m_port->isOpen()); // the descriptor stays until the owner closes the port
    }

    // A peer that sends without pause: the event loop keeps turning (a timer gets its
    // turn), and whatever was read before a close is all there is.
    void floodKeepsTheLoopTurning()
    {
        std::atomic<bool> stop{false};
        std::thread flooder([&, master = m_pty->master()] {
            const QByteArray block(4096, 'x');
            while (!stop.load()) {
                if (::write(master, block.constData(), size_t(block.size())) < 0) {
                    pollfd p{master, POLLOUT, 0};
                    poll(&p, 1, 10);
                }
            }
        });
        const auto joinFlooder = qScopeGuard([&] {
            stop.store(true);
            flooder.join();
        });
        for (int round = 0; round < 10; ++round) {
            QVERIFY(!m_port->open());
            const qsizetype before = m_received.size();
            bool timerRan = false;
            QTimer::singleShot(0, [&] { timerRan = true; });
            QTRY_VERIFY_WITH_TIMEOUT(timerRan && m_received.size() > before, waitMs);
            m_port->close();
            const qsizetype atClose = m_received.size();
            turnTheLoop();
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

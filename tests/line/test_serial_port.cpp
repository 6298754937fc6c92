#include "Pty.h"
#include "Support.h"
#include "line/tty/SerialPort.h"
#include "line/tty/TermiosSpeed.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
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
    QStringList m_closeReasons; // of errors that end the line
    QList<LineError> m_errors;  // every error reported
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
        m_port->onError = [this](const LineError& error) {
            m_errors.append(error);
            if (error.gone())
                m_closeReasons.append(error.reason());
        };
        m_received.clear();
        m_closeReasons.clear();
        m_errors.clear();
        m_largestChunk = 0;
    }
    void cleanup()
    {
        m_port.reset();
        m_pty.reset();
    }

    // The exact German texts of every kind of failure, on the real thing.
    void openCloseAndFailures()
    {
        SerialPort second(m_pty->slavePath(), S::smartStandard());
        QVERIFY(!m_port->open());
        QVERIFY(!m_port->open()); // already open: nothing happens
        auto error = second.open();
        QVERIFY(error);
        QCOMPARE(error->kind(), LineError::Kind::busy);
        QCOMPARE(error->text(), m_pty->slavePath() +
                                    QStringLiteral(" ist belegt – läuft noch ein "
                                                   "Terminalprogramm (screen, PuTTY, CoolTerm)?"));
        m_port->close();
        QCOMPARE(m_port->fd(), -1);
        QVERIFY(!second.open());
        QVERIFY(!second.write(QByteArray()));

        const QString missing = QStringLiteral("/dev/bildwart-no-such-device");
        error = SerialPort(missing, S::smartStandard()).open();
        QVERIFY(error);
        QCOMPARE(error->text(),
                 missing + " gibt es nicht – ist der Wandler eingesteckt und der Name richtig?");

        // Opened, but no terminal: a device that is none, a file, a FIFO, a folder.
        QTemporaryDir dir;
        QFile(dir.filePath("datei")).open(QIODevice::WriteOnly);
        QVERIFY(::mkfifo(dir.filePath("fifo").toLocal8Bit().constData(), 0600) == 0);
        for (const QString& path : {QStringLiteral("/dev/null"), dir.filePath("datei"),
                                    dir.filePath("fifo"), dir.path()}) {
            SerialPort notATerminal(path, S::smartStandard());
            // The second attempt fails the same way: the first released descriptor and lock.
            for (int attempt = 0; attempt < 2; ++attempt) {
                error = notATerminal.open();
                QVERIFY2(error, qPrintable(path));
                QCOMPARE(error->text(), path + " ist keine serielle Schnittstelle");
                QCOMPARE(notATerminal.fd(), -1);
            }
        }
        error = SerialPort("/dev/null", S::smartStandard()).write("x");
        QVERIFY(error);
        QCOMPARE(error->kind(), LineError::Kind::notOpen);
    }

    // Settings stored while closed are used by open(), later ones at once, with the exact rate.
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

    // Writes never wait: what the device does not take goes out as it takes it, in order; a
    // peer that takes nothing fills a bounded buffer, then the line is stalled, not gone.
    void writesGoOutAsTheLineTakesThem()
    {
        QVERIFY(!m_port->open());
        const QByteArray bytes = pattern(256 * 1024); // far more than a pty buffers
        QVERIFY(!m_port->write(bytes));
        QVERIFY(m_port->pending() > 0);
        QVERIFY(!m_port->write("after"));
        QByteArray arrived;
        QVERIFY(waitUntil([&] {
            arrived += m_pty->readAvailable(); // a slow reader, one turn at a time
            return arrived.size() >= bytes.size() + 5;
        }));
        QCOMPARE(arrived, bytes + "after");
        QCOMPARE(m_port->pending(), 0);

        // Nobody reads: the buffer's bound, then "stalled".
        const QByteArray more = pattern(SerialPort::pendingLimit / 4);
        std::optional<LineError> error;
        for (int i = 0; i < 8 && !error; ++i)
            error = m_port->write(more);
        QVERIFY(error);
        QCOMPARE(error->kind(), LineError::Kind::stalled);
        QVERIFY(!error->gone());
        QVERIFY(m_port->pending() <= SerialPort::pendingLimit);
        QVERIFY(m_errors.isEmpty());
    }

    // Closing does not wait for pending bytes; they go out after, then the device is free.
    void closeDoesNotWait()
    {
        QVERIFY(!m_port->open());
        QVERIFY(!m_port->write(pattern(64 * 1024)));
        QVERIFY(m_port->pending() > 0);
        m_port->close();
        QCOMPARE(m_port->fd(), -1);
        QByteArray arrived;
        QVERIFY2(waitUntil([&] {
                     arrived += m_pty->readAvailable();
                     return arrived.size() >= 64 * 1024;
                 }),
                 qPrintable(QString::number(arrived.size())));
        QCOMPARE(arrived, pattern(64 * 1024));
        SerialPort again(m_pty->slavePath(), S::smartStandard());
        QVERIFY(waitUntil([&] { return !again.open(); }));
    }

    // Chunks in order, none larger than one wake-up's share; the other side's close, once.
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

    // A peer that never pauses: timers still get their turn, and nothing arrives after close.
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
        m_port->onError = [this, &seen](const LineError& error) {
            seen = error.reason();
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

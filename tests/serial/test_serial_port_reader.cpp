#include "serial/PtyPair.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

using S = SerialSettings;

namespace {

// What a port handed to its owner, and on which thread.
struct Received {
    QByteArray bytes;
    int chunks = 0;
    int offThread = 0;
    QStringList closeReasons;
    // Order of events: 'd' for data, 'c' for close.
    QByteArray sequence;

    void attach(SerialPort& port)
    {
        port.onData = [this](const QByteArray& chunk) {
            bytes += chunk;
            ++chunks;
            sequence += 'd';
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                ++offThread;
        };
        port.onClose = [this](const QString& reason) {
            closeReasons.append(reason);
            sequence += 'c';
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                ++offThread;
        };
    }
};

// Floods a master with bytes from its own thread until told to stop.
class Flooder {
public:
    explicit Flooder(int master)
        : m_thread([this, master] {
            const QByteArray block(1024, 'x');
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

} // namespace

// Reading on the port's own thread and handing chunks to the main thread.
class SerialPortReaderTest : public QObject {
    Q_OBJECT

private slots:
    void chunksArriveInOrderOnMainThread()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        Received received;
        received.attach(port);
        QVERIFY(!port.open());

        QByteArray sent;
        for (int i = 0; i < 2000; ++i)
            sent += QByteArray::number(i).rightJustified(6, '0') + "\r\n";
        QVERIFY(pty.writeAll(sent));
        QTRY_COMPARE_WITH_TIMEOUT(received.bytes.size(), sent.size(), 10000);
        QCOMPARE(received.bytes, sent);
        // A read takes at most 1024 bytes.
        QVERIFY(received.chunks >= sent.size() / 1024);
        QCOMPARE(received.offThread, 0);
        QVERIFY(received.closeReasons.isEmpty());
    }

    void otherSideClosing()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        Received received;
        received.attach(port);
        QVERIFY(!port.open());

        QVERIFY(pty.writeAll("last words"));
        QTRY_COMPARE_WITH_TIMEOUT(received.bytes, QByteArray("last words"), 10000);
        pty.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(received.closeReasons.size(), 1, 10000);
        QCOMPARE(received.closeReasons.first(), QStringLiteral("Gegenstelle getrennt"));
        // Reading has stopped: no second report, however long one waits.
        QTest::qWait(200);
        QCOMPARE(received.closeReasons.size(), 1);
        QCOMPARE(received.sequence.back(), 'c');
        QCOMPARE(received.offThread, 0);

        // The descriptor stays until the owner closes the port.
        QVERIFY(port.isOpen());
        port.close();
        QVERIFY(!port.isOpen());
    }

    void closeDoesNotReport()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialPort port(pty.slavePath(), S::smartStandard());
        Received received;
        received.attach(port);
        QVERIFY(!port.open());
        port.close();
        pty.closeMaster();
        QTest::qWait(100);
        QVERIFY(received.closeReasons.isEmpty());
    }

    void closeUnderHeavyTraffic()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        Flooder flooder(pty.master());
        SerialPort port(pty.slavePath(), S::smartStandard());
        int lateChunks = 0;
        int chunks = 0;
        port.onData = [&](const QByteArray&) {
            ++chunks;
            if (!port.isOpen())
                ++lateChunks;
        };
        for (int round = 0; round < 20; ++round) {
            QVERIFY(!port.open());
            const int before = chunks;
            QTRY_VERIFY_WITH_TIMEOUT(chunks > before, 10000);
            port.close();
            // Chunks still queued for the closed port are dropped.
            QCoreApplication::processEvents();
            QCOMPARE(lateChunks, 0);
        }
    }

    void destroyUnderHeavyTraffic()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        Flooder flooder(pty.master());
        int chunks = 0;
        for (int round = 0; round < 20; ++round) {
            auto port = std::make_unique<SerialPort>(pty.slavePath(), S::smartStandard());
            port->onData = [&](const QByteArray&) { ++chunks; };
            QVERIFY(!port->open());
            const int before = chunks;
            QTRY_VERIFY_WITH_TIMEOUT(chunks > before, 10000);
            port.reset();
            // Deliveries queued for the destroyed port must not reach it.
            const int atDestruction = chunks;
            QCoreApplication::processEvents();
            QCOMPARE(chunks, atDestruction);
        }
    }

    void destroyedFromItsOwnCallback()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        auto port = std::make_unique<SerialPort>(pty.slavePath(), S::smartStandard());
        QString reason;
        port->onClose = [&](const QString& r) {
            reason = r;
            port.reset(); // as a controller drops the port on loss
        };
        QVERIFY(!port->open());
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!port, 10000);
        QCOMPARE(reason, QStringLiteral("Gegenstelle getrennt"));
    }
};

QTEST_GUILESS_MAIN(SerialPortReaderTest)
#include "test_serial_port_reader.moc"

// Hot-plug events from a fake device tree; runs under umockdev's preload library.
// Its uevents are in the watcher's socket when uevent() returns, so that one
// processEvents() handles them. The device folders, watched where no udev daemon
// runs, are played by a temporary folder.
#include "MockDeviceTree.h"
#include "serial/USBSerialWatcher.h"

#include <QtTest>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Generous: CI is a slow, shared machine, and sanitizers slow it further.
constexpr int eventTimeoutMs = 10000;

} // namespace

class TestUsbWatcher : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MockDeviceTree> m_tree;
    std::unique_ptr<USBSerialWatcher> m_watcher;
    QString m_adapter;
    int m_changes = 0;

private slots:
    void initTestCase()
    {
        QVERIFY2(MockDeviceTree().isSeen(),
                 "needs umockdev's preload library: run it as umockdev-wrapper <test>");
    }

    void init()
    {
        m_tree = std::make_unique<MockDeviceTree>();
        // Plugged in before the watcher starts.
        m_adapter = m_tree->add("usb", "1-1", {}, "usb_device");
        m_tree->addTty(m_tree->add("usb", "1-1:1.0", m_adapter, "usb_interface", "ftdi_sio"),
                       "ttyUSB0");
        m_changes = 0;
        // udev's stream alone: this machine may or may not run a udev daemon.
        m_watcher = std::make_unique<USBSerialWatcher>(USBSerialWatcher::DirectoryWatch::never);
        m_watcher->onChange = [this] { ++m_changes; };
    }

    void cleanup()
    {
        m_watcher.reset();
        m_tree.reset();
    }

    void startReportsNothingAndHappensOnce()
    {
        m_watcher->start();
        m_watcher->start();
        QVERIFY(m_watcher->isWatching());
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 0);

        m_tree->uevent(m_adapter, "remove");
        QTRY_COMPARE_WITH_TIMEOUT(m_changes, 1, eventTimeoutMs);
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 1);
    }

    void plugAndPullAreReported()
    {
        m_watcher->start();
        const QString device = m_tree->add("usb", "1-2", {}, "usb_device");
        const QString tty = m_tree->addTty(
            m_tree->add("usb", "1-2:1.0", device, "usb_interface", "ch341"), "ttyUSB1");
        QTRY_VERIFY_WITH_TIMEOUT(m_changes >= 1, eventTimeoutMs);

        const int afterPlug = m_changes;
        m_tree->uevent(tty, "remove");
        m_tree->uevent(device, "remove");
        QTRY_VERIFY_WITH_TIMEOUT(m_changes > afterPlug, eventTimeoutMs);
    }

    void onlyPresenceAndDriverChangesCount()
    {
        m_watcher->start();
        m_tree->uevent(m_adapter, "change");
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 0);

        m_tree->uevent(m_adapter, "unbind");
        QTRY_COMPARE_WITH_TIMEOUT(m_changes, 1, eventTimeoutMs);
        m_tree->uevent(m_adapter, "bind");
        QTRY_COMPARE_WITH_TIMEOUT(m_changes, 2, eventTimeoutMs);
    }

    void withoutUdevItStaysIdleAndTriesAgain()
    {
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &limit), 0);
        // No descriptor left for udev's socket: every lower number is taken.
        const int lowestFree = ::dup(STDIN_FILENO);
        QVERIFY(lowestFree >= 0);
        ::close(lowestFree);
        rlimit exhausted = limit;
        exhausted.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &exhausted), 0);
        m_watcher->start();
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &limit), 0);
        QVERIFY(!m_watcher->isWatching());

        m_watcher->start();
        QVERIFY(m_watcher->isWatching());
        m_tree->uevent(m_adapter, "remove");
        QTRY_COMPARE_WITH_TIMEOUT(m_changes, 1, eventTimeoutMs);
    }

    void withoutUdevDaemonNodesAreReported()
    {
        QTemporaryDir dev;
        QVERIFY(QFile(dev.filePath("ttyS0")).open(QIODevice::WriteOnly)); // present before
        m_watcher = std::make_unique<USBSerialWatcher>(USBSerialWatcher::DirectoryWatch::always,
                                                       dev.path());
        m_watcher->onChange = [this] { ++m_changes; };
        m_watcher->start();
        m_watcher->start();
        QVERIFY(m_watcher->isWatching());
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 0);

        QVERIFY(QFile(dev.filePath("ttyUSB0")).open(QIODevice::WriteOnly));
        QTRY_VERIFY_WITH_TIMEOUT(m_changes >= 1, eventTimeoutMs);
        const int afterPlug = m_changes;
        QVERIFY(QFile::remove(dev.filePath("ttyUSB0")));
        QTRY_VERIFY_WITH_TIMEOUT(m_changes > afterPlug, eventTimeoutMs);
    }

    void stableNamesAreWatchedOnceTheirFolderAppears()
    {
        QTemporaryDir dev;
        m_watcher = std::make_unique<USBSerialWatcher>(USBSerialWatcher::DirectoryWatch::always,
                                                       dev.path());
        m_watcher->onChange = [this] { ++m_changes; };
        m_watcher->start();
        const QString byId = dev.filePath("serial/by-id");
        const QString link = byId + "/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";

        // Twice: the folder appears, and it comes back after it was removed.
        for (int round = 0; round < 2; ++round) {
            int before = m_changes;
            QVERIFY(QDir().mkpath(byId));
            QTRY_VERIFY_WITH_TIMEOUT(m_changes > before, eventTimeoutMs);

            before = m_changes;
            QVERIFY(QFile::link("../../ttyUSB0", link));
            QTRY_VERIFY_WITH_TIMEOUT(m_changes > before, eventTimeoutMs);

            before = m_changes;
            QVERIFY(QDir(byId).removeRecursively());
            QTRY_VERIFY_WITH_TIMEOUT(m_changes > before, eventTimeoutMs);
        }
    }
};

QTEST_GUILESS_MAIN(TestUsbWatcher)
#include "test_usb_watcher.moc"

// Hot-plug events from a fake device tree; runs under umockdev's preload library.
// Its uevents are in the watcher's socket when uevent() returns, so that one
// processEvents() handles them.
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

    // Does the step, then waits until a change is reported.
    template <typename Step>
    bool reported(Step step)
    {
        const int before = m_changes;
        step();
        return QTest::qWaitFor([&] { return m_changes > before; }, eventTimeoutMs);
    }

    // udev's stream alone (whether or not a udev daemon runs here), or also device folders.
    void watch(USBSerialWatcher::DirectoryWatch directories, const QString& dev = "/dev")
    {
        m_watcher = std::make_unique<USBSerialWatcher>(directories, dev);
        m_watcher->onChange = [this] { ++m_changes; };
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(MockDeviceTree().isSeen(),
                 "needs umockdev's preload library: run it as umockdev-wrapper <test>");
    }

    void init()
    {
        m_watcher.reset(); // before the tree it watches; one tree at a time
        m_tree.reset();
        m_tree = std::make_unique<MockDeviceTree>();
        // Plugged in before the watcher starts.
        m_adapter = m_tree->add("usb", "1-1", {}, "usb_device");
        m_tree->addTty(m_tree->add("usb", "1-1:1.0", m_adapter, "usb_interface", "ftdi_sio"),
                       "ttyUSB0");
        m_changes = 0;
        watch(USBSerialWatcher::DirectoryWatch::never);
    }

    // Presence and driver changes count, "change" events do not. A tty that comes and goes
    // within moments is what brltty's grab of a CH340 looks like.
    void plugPullAndDriverChangesAreReported()
    {
        m_watcher->start();
        m_watcher->start(); // happens once
        QVERIFY(m_watcher->isWatching());
        m_tree->uevent(m_adapter, "change");
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 0);

        QString device;
        QString tty;
        QVERIFY(reported([&] {
            device = m_tree->add("usb", "1-2", {}, "usb_device", {},
                                 {{"idVendor", "1a86"}, {"idProduct", "7523"}});
            tty = m_tree->addTty(m_tree->add("usb", "1-2:1.0", device, "usb_interface", "ch341"),
                                 "ttyUSB1");
        }));
        QCOMPARE(m_watcher->shortLivedAdapters(), QList<UsbId>());
        QVERIFY(reported([&] {
            m_tree->uevent(tty, "remove");
            m_tree->uevent(device, "remove");
        }));
        QCOMPARE(m_watcher->shortLivedAdapters(), (QList<UsbId>{{0x1a86, 0x7523}}));
        QVERIFY(reported([&] { m_tree->uevent(m_adapter, "unbind"); }));
        QVERIFY(reported([&] { m_tree->uevent(m_adapter, "bind"); }));
    }

    void onlyShortLivesCount()
    {
        TtyLifetimes lifetimes;
        lifetimes.appeared("/sys/a", {0x1a86, 0x7523}, 10.0);
        lifetimes.appeared("/sys/b", {0x0403, 0x6001}, 10.0);
        lifetimes.vanished("/sys/b", 12.0); // two seconds are a life
        lifetimes.vanished("/sys/a", 11.9);
        QCOMPARE(lifetimes.shortLived(), (QList<UsbId>{{0x1a86, 0x7523}}));
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

    // Nodes and stable names, where no udev daemon runs. The stable names' folder is
    // watched once it appears, and again when it comes back after it was removed.
    void withoutUdevDaemonTheDeviceFoldersAreWatched()
    {
        QTemporaryDir dev;
        QVERIFY(QFile(dev.filePath("ttyS0")).open(QIODevice::WriteOnly)); // present before
        watch(USBSerialWatcher::DirectoryWatch::always, dev.path());
        m_watcher->start();
        m_watcher->start(); // happens once
        QVERIFY(m_watcher->isWatching());
        QCoreApplication::processEvents();
        QCOMPARE(m_changes, 0);

        QVERIFY(reported([&] { QFile(dev.filePath("ttyUSB0")).open(QIODevice::WriteOnly); }));
        QVERIFY(reported([&] { QFile::remove(dev.filePath("ttyUSB0")); }));
        const QString byId = dev.filePath("serial/by-id");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(reported([&] { QDir().mkpath(byId); }));
            QVERIFY(reported([&] { QFile::link("../../ttyUSB0", byId + "/usb-FTDI_A10K-port0"); }));
            QVERIFY(reported([&] { QDir(byId).removeRecursively(); }));
        }
    }
};

QTEST_GUILESS_MAIN(TestUsbWatcher)
#include "test_usb_watcher.moc"

// Both scans, the hot-plug watcher and the port fact collector against a fake device tree;
// runs under umockdev's preload library. Its uevents are in the watcher's socket when
// uevent() returns, so that one processEvents() handles them.
#include "FakeUsers.h"
#include "MockDeviceTree.h"
#include "discovery/SerialPortInfo.h"
#include "discovery/USBSerialWatcher.h"
#include "discovery/UnboundAdapter.h"
#include "doctor/PortFactCollector.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using Expected = std::optional<UnboundAdapter>;
Q_DECLARE_METATYPE(Expected)
using Holder = std::optional<QString>;

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestPortDiscovery : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MockDeviceTree> m_tree;
    std::unique_ptr<USBSerialWatcher> m_watcher;
    int m_changes = 0;

    // As the kernel shows an adapter: USB device, interface with its driver (returned), tty.
    QString addAdapter(const QString& bus, const MockDeviceTree::Pairs& attributes,
                       const QString& driver, const QString& tty = {},
                       const QStringList& links = {})
    {
        const QString device = m_tree->add("usb", bus, {}, "usb_device", {}, attributes);
        const QString interface = m_tree->add("usb", bus + ":1.0", device, "usb_interface", driver);
        if (!tty.isEmpty())
            m_tree->addTty(interface, tty, links);
        return interface;
    }

    // Does the step, then waits until a change is reported.
    template <typename Step>
    bool reported(Step step)
    {
        const int before = m_changes;
        step();
        // Generous: CI is a slow, shared machine, and sanitizers slow it further.
        return QTest::qWaitFor([&] { return m_changes > before; }, 10'000);
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
        m_tree = std::make_unique<MockDeviceTree>();
        m_changes = 0;
    }
    void cleanup()
    {
        m_watcher.reset(); // before the tree it watches; one tree at a time
        m_tree.reset();
    }

    // Consoles hang below no device; of the UARTs, those with a chip type the kernel found
    // (4: 16550A, 0: none) are listed. The scan opens none of them. Adapters with a port
    // are no unbound ones.
    void portsAreDescribedAndSorted()
    {
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
        addAdapter("1-1",
                   {{"idVendor", "0403"}, {"product", "FT232R USB UART"}, {"manufacturer", "FTDI"}},
                   "ftdi_sio", "ttyUSB0", {byId, "/dev/serial/by-path/x"});
        addAdapter("1-2", {{"idVendor", "2341"}, {"product", "Uno"}}, "cdc_acm", "ttyACM0");
        m_tree->addTty(m_tree->add("pci", "0000:03:00.0", {}, {}, "exar_serial"), "ttyS4");
        for (const char* name : {"console", "tty0", "ptmx"})
            m_tree->addTty("/sys/devices/virtual/tty", name);
        const QString uarts = m_tree->add("platform", "serial8250", {}, {}, "serial8250");
        m_tree->addTty(uarts, "ttyS0", {}, {{"type", "4"}});
        m_tree->addTty(uarts, "ttyS1", {}, {{"type", "0"}});
        m_tree->addTty(uarts, "ttyS2");
        // udev names the links, but they are not on disk (yet): the node is the path.
        QList<SerialPortInfo> expected = {
            {"/dev/ttyACM0", "Uno", "Uno · USB"},
            {"/dev/ttyUSB0", "FT232R USB UART", "FTDI FT232R USB UART · USB"},
            {"/dev/ttyS0", "ttyS0", "/dev/ttyS0"},
            {"/dev/ttyS4", "ttyS4", "/dev/ttyS4"},
        };
        QCOMPARE(SerialPortInfo::scan(), expected);
        QCOMPARE(UnboundAdapter::scan(), QList<UnboundAdapter>());

        m_tree->addByIdLink(QFileInfo(byId).fileName(), "ttyUSB0");
        expected[1].path = byId;
        expected.move(1, 0);
        QCOMPARE(SerialPortInfo::scan(), expected);
    }

    // Two adapters without a serial number share udev's by-id name; neither is listed under
    // it, so that reconnecting can never take the other one.
    void identicalAdaptersAreNamedBySocket()
    {
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-if00-port0";
        for (const QString socket : {"1-1", "1-2"}) {
            const QString tty = socket == "1-1" ? "ttyUSB0" : "ttyUSB1";
            addAdapter(socket, {{"idVendor", "0403"}, {"product", "FT232R"}}, "ftdi_sio", tty,
                       {byId, "/dev/serial/by-path/usb-0:" + socket + ":1.0-port0"});
        }
        m_tree->addByIdLink(QFileInfo(byId).fileName(), "ttyUSB1");
        m_tree->addByPathLink("usb-0:1-1:1.0-port0", "ttyUSB0");
        const QString note = " · Kennung doppelt, ";
        QCOMPARE(SerialPortInfo::scan(),
                 (QList<SerialPortInfo>{
                     {"/dev/serial/by-path/usb-0:1-1:1.0-port0", "FT232R",
                      "FT232R · USB" + note + "nach USB-Buchse benannt"},
                     // Its by-path link is not on disk.
                     {"/dev/ttyUSB1", "FT232R", "FT232R · USB" + note + "nach Gerätedatei benannt"},
                 }));
        // What the port doctor learns of the first one.
        const PortFacts facts =
            PortFactCollector().collect("/dev/ttyUSB0", PortFactCollector::Depth::quick);
        QCOMPARE(facts.sharedById, byId);
        QCOMPARE(facts.listedAs, QStringLiteral("/dev/serial/by-path/usb-0:1-1:1.0-port0"));
    }

    void adapterScan_data()
    {
        QTest::addColumn<MockDeviceTree::Pairs>("attributes");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<Expected>("expected");
        const auto row = [](const char* tag, const MockDeviceTree::Pairs& attributes,
                            const char* driver, const Expected& expected) {
            QTest::newRow(tag) << attributes << driver << expected;
        };
        row("CH340 without driver",
            {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}}, "",
            UnboundAdapter{"USB Serial", 6790, 29987, "", {}});
        row("port on its way", {{"idVendor", "067b"}, {"idProduct", "2303"}}, "pl2303",
            UnboundAdapter{"USB-Seriell-Wandler", 1659, 8963, "", {}});
        // No program holds it: the advice can only name usbfs.
        row("no product id, held through usbfs",
            {{"idVendor", "10c4"}, {"busnum", "3"}, {"devnum", "5"}}, "usbfs",
            UnboundAdapter{"USB-Seriell-Wandler", 4292, 0, "", "usbfs"});
        row("foreign vendor", {{"idVendor", "05ac"}, {"product", "iPhone"}}, "", {});
    }

    void adapterScan()
    {
        QFETCH(MockDeviceTree::Pairs, attributes);
        QFETCH(QString, driver);
        QFETCH(Expected, expected);
        addAdapter("3-1", attributes, driver);
        QCOMPARE(UnboundAdapter::scan(UsbfsHolder("/nonexistent/proc")),
                 expected ? QList{*expected} : QList<UnboundAdapter>());
        QCOMPARE(SerialPortInfo::scan(), QList<SerialPortInfo>());
    }

    // Presence and driver changes count, "change" events do not. A tty that comes and goes
    // within moments is what brltty's grab of a CH340 looks like.
    void plugPullAndDriverChangesAreReported()
    {
        const QString adapter = m_tree->add("usb", "1-1", {}, "usb_device"); // there before
        watch(USBSerialWatcher::DirectoryWatch::never);
        m_watcher->start();
        QVERIFY(m_watcher->isWatching());
        m_tree->uevent(adapter, "change");
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
        QVERIFY(reported([&] { m_tree->uevent(adapter, "unbind"); }));
        QVERIFY(reported([&] { m_tree->uevent(adapter, "bind"); }));

        // Two seconds are a life.
        TtyLifetimes lifetimes;
        lifetimes.appeared("/sys/a", {0x1a86, 0x7523}, 10.0);
        lifetimes.appeared("/sys/b", {0x0403, 0x6001}, 10.0);
        lifetimes.vanished("/sys/b", 12.0);
        lifetimes.vanished("/sys/a", 11.9);
        QCOMPARE(lifetimes.shortLived(), (QList<UsbId>{{0x1a86, 0x7523}}));
    }

    void withoutUdevItStaysIdleAndTriesAgain()
    {
        watch(USBSerialWatcher::DirectoryWatch::never);
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
    }

    // Without a udev daemon: nodes, and the stable names' folder once it (re)appears.
    void withoutUdevDaemonTheDeviceFoldersAreWatched()
    {
        QTemporaryDir dev;
        QVERIFY(QFile(dev.filePath("ttyS0")).open(QIODevice::WriteOnly)); // present before
        watch(USBSerialWatcher::DirectoryWatch::always, dev.path());
        m_watcher->start();
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

    // An FTDI adapter with latency_timer 16, an Arduino's ttyACM while ModemManager runs, and
    // a CH340 without a port that brltty's rule names and a VM holds.
    void factsOfEachPort()
    {
        QTemporaryDir root; // the fake /proc, /dev/bus/usb and rule folders
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_A10K-if00-port0";
        const QString interface =
            addAdapter("1-1", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"product", "Adapter"}},
                       "ftdi_sio");
        const QString port = m_tree->add("usb-serial", "ttyUSB0", interface, {}, "ftdi_sio",
                                         {{"latency_timer", "16"}});
        m_tree->addTty(port + "/tty", "ttyUSB0", {byId});
        m_tree->addByIdLink(QFileInfo(byId).fileName(), "ttyUSB0");
        addAdapter("1-3", {{"idVendor", "2341"}}, "cdc_acm", "ttyACM0");
        addAdapter("3-1",
                   {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"busnum", "3"}, {"devnum", "5"}},
                   "usbfs");
        QVERIFY(writeFile(root.filePath("proc/640/comm"), "ModemManager\n"));
        QVERIFY(writeFile(root.filePath("proc/4711/comm"), "VirtualBoxVM\n"));
        QVERIFY(QDir().mkpath(root.filePath("proc/4711/fd")));
        QVERIFY(QFile::link(root.filePath("dev/bus/usb/003/005"), root.filePath("proc/4711/fd/3")));
        const QString rule = "/usr/lib/udev/rules.d/90-brltty-device.rules";
        QVERIFY(writeFile(root.filePath(rule.mid(1)),
                          "ENV{PRODUCT}==\"1a86/7523/*\", GOTO=\"brltty_usb_run\"\n"));

        auto users = std::make_shared<FakeUsers>();
        users->user = {0, "root", {0}, {0}};
        const PortFactCollector::Sources sources{
            root.filePath("proc"), root.filePath("dev"), root.path(), users, {{0x1a86, 0x7523}}};
        QHash<QString, PortFacts> byNode;
        for (const PortFacts& facts :
             PortFactCollector(sources).collectAll(PortFactCollector::Depth::quick))
            byNode.insert(facts.unbound ? QString("unbound") : facts.node, facts);
        QCOMPARE(byNode.keys().size(), 3);

        const PortFacts ftdi = byNode.value("/dev/ttyUSB0");
        QCOMPARE(ftdi.latencyTimerMs, std::optional(16));
        QCOMPARE(ftdi.driver, QStringLiteral("ftdi_sio"));
        QCOMPARE(ftdi.vendorID, 0x0403);
        QCOMPARE(ftdi.title, QStringLiteral("Adapter"));
        QCOMPARE(ftdi.listedAs, byId);
        QCOMPARE(ftdi.sharedById, QString()); // its own by-id link is no second adapter's
        const PortFacts acm = byNode.value("/dev/ttyACM0");
        QVERIFY(acm.modemManagerRunning && !acm.latencyTimerMs);
        const PortFacts ch340 = byNode.value("unbound");
        QCOMPARE(ch340.capturedBy, Holder("VirtualBoxVM"));
        QCOMPARE(ch340.brlttyRule, rule);
        QVERIFY(ch340.vanishedQuickly && !ch340.brlttyRunning);

        // A port that is gone, just after the CH340's tty came and went.
        PortFacts gone =
            PortFactCollector(sources).collect("/dev/ttyUSB7", PortFactCollector::Depth::quick);
        QVERIFY(gone.vanishedQuickly && !gone.nodeAttributes);
        QCOMPARE(gone.brlttyRule, rule);

        // The rule switched off the way the fix says.
        QVERIFY(QDir().mkpath(root.filePath("etc/udev/rules.d")));
        QVERIFY(QFile::link("/dev/null", root.filePath("etc/udev/rules.d/90-brltty-device.rules")));
        gone = PortFactCollector(sources).collect("/dev/ttyUSB7", PortFactCollector::Depth::quick);
        QCOMPARE(gone.brlttyRule, QString());
    }
};

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "test_port_discovery.moc"

// What the collector learns from a fake device tree, a fake /proc and fake rule folders;
// runs under umockdev's preload library. What the facts mean is test_port_diagnosis's.
#include "FakeUsers.h"
#include "MockDeviceTree.h"
#include "serial/PortFactCollector.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestPortFacts : public QObject {
    Q_OBJECT

private slots:
    // Two identical FTDI adapters (one with latency_timer 16), an Arduino's ttyACM while
    // ModemManager runs, and a CH340 without a port that brltty's rule names.
    void factsOfEachPort()
    {
        MockDeviceTree tree;
        QVERIFY2(tree.isSeen(), "needs umockdev's preload library: run it as umockdev-wrapper");
        QTemporaryDir root; // the fake /proc, /dev/bus/usb and rule folders
        const auto usbInterface = [&](const char* bus, const char* vendor, const char* product,
                                      const char* driver) {
            const QString device =
                tree.add("usb", bus, {}, "usb_device", {},
                         {{"idVendor", vendor}, {"idProduct", product}, {"product", "Adapter"}});
            return tree.add("usb", QString(bus) + ":1.0", device, "usb_interface", driver);
        };
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
        for (const char* tty : {"ttyUSB0", "ttyUSB1"}) {
            const QString bus = tty == QLatin1String("ttyUSB0") ? "1-1" : "1-2";
            const QString port = tree.add("usb-serial", tty,
                                          usbInterface(qPrintable(bus), "0403", "6001", "ftdi_sio"),
                                          {}, "ftdi_sio", {{"latency_timer", "16"}});
            tree.addTty(port + "/tty", tty, {byId, "/dev/serial/by-path/usb-0:" + bus + "-port0"});
            tree.addByPathLink("usb-0:" + bus + "-port0", tty);
        }
        tree.addByIdLink(QFileInfo(byId).fileName(), "ttyUSB0");
        tree.addTty(usbInterface("1-3", "2341", "0043", "cdc_acm"), "ttyACM0");
        usbInterface("3-1", "1a86", "7523", "usbfs");
        QVERIFY(writeFile(root.filePath("proc/640/comm"), "ModemManager\n"));
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
        QCOMPARE(byNode.keys().size(), 4);

        const PortFacts ftdi = byNode.value("/dev/ttyUSB0");
        QCOMPARE(ftdi.latencyTimerMs, std::optional(16));
        QCOMPARE(ftdi.driver, QStringLiteral("ftdi_sio"));
        QCOMPARE(ftdi.vendorID, 0x0403);
        QCOMPARE(ftdi.title, QStringLiteral("Adapter"));
        for (const char* node : {"/dev/ttyUSB0", "/dev/ttyUSB1"}) {
            QCOMPARE(byNode.value(node).sharedById, byId);
            QVERIFY(byNode.value(node).listedAs.startsWith("/dev/serial/by-path/"));
        }
        const PortFacts acm = byNode.value("/dev/ttyACM0");
        QVERIFY(acm.modemManagerRunning && !acm.latencyTimerMs);
        QCOMPARE(acm.driver, QStringLiteral("cdc_acm"));
        const PortFacts ch340 = byNode.value("unbound");
        QCOMPARE(ch340.capturedBy, std::optional<QString>("usbfs"));
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

QTEST_GUILESS_MAIN(TestPortFacts)
#include "test_port_facts.moc"

// What the doctor learns from a fake device tree, a fake /proc and fake rule folders;
// runs under umockdev's preload library. The decisions themselves are checked in
// test_port_diagnosis; here the facts and that each reaches its finding.
#include "FakeUsers.h"
#include "MockDeviceTree.h"
#include "diagnostics/PortDiagnosis.h"
#include "serial/PortFactCollector.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

QStringList idsOf(const PortFacts& facts)
{
    QStringList ids;
    for (const Finding& finding : PortDiagnosis::findings(facts))
        ids.append(finding.id);
    return ids;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestPortFacts : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MockDeviceTree> m_tree;
    std::unique_ptr<QTemporaryDir> m_root; // the fake /proc and rule folders

    PortFactCollector collector(const QList<UsbId>& shortLived = {}) const
    {
        auto users = std::make_shared<FakeUsers>();
        users->user = {0, "root", {0}, {0}}; // may open anything: no permission findings
        return PortFactCollector(
            {m_root->filePath("proc"), m_root->filePath("dev"), m_root->path(), users, shortLived});
    }

    QString addUsbDevice(const QString& bus, const char* vendor, const char* product)
    {
        return m_tree->add("usb", bus, {}, "usb_device", {},
                           {{"idVendor", vendor}, {"idProduct", product}, {"product", "Adapter"}});
    }

    QString addInterface(const QString& device, const QString& driver)
    {
        return m_tree->add("usb", QFileInfo(device).fileName() + ":1.0", device, "usb_interface",
                           driver);
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
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(m_root->filePath("proc")));
    }
    void cleanup()
    {
        m_tree.reset();
        m_root.reset();
    }

    // FTDI's driver keeps the timer on the usb-serial device between interface and tty.
    void ftdiLatencyTimer()
    {
        const QString interface = addInterface(addUsbDevice("1-1", "0403", "6001"), "ftdi_sio");
        const QString port = m_tree->add("usb-serial", "ttyUSB0", interface, {}, "ftdi_sio",
                                         {{"latency_timer", "16"}});
        m_tree->addTty(port + "/tty", "ttyUSB0");

        const PortFacts facts =
            collector().collect("/dev/ttyUSB0", PortFactCollector::Depth::quick);
        QCOMPARE(facts.latencyTimerMs, std::optional(16));
        QCOMPARE(facts.driver, QStringLiteral("ftdi_sio"));
        QCOMPARE(facts.vendorID, 0x0403);
        QCOMPARE(facts.productID, 0x6001);
        QCOMPARE(facts.title, QStringLiteral("Adapter"));
        QCOMPARE(idsOf(facts), QStringList{"latency-timer"});
    }

    void identicalAdaptersShareTheirById()
    {
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
        for (const char* bus : {"1-1", "1-2"}) {
            const QString tty = qstrcmp(bus, "1-1") == 0 ? "ttyUSB0" : "ttyUSB1";
            m_tree->addTty(addInterface(addUsbDevice(bus, "0403", "6001"), "ftdi_sio"), tty,
                           {byId});
        }
        m_tree->addByIdLink(QFileInfo(byId).fileName(), "ttyUSB0");
        for (const char* node : {"/dev/ttyUSB0", "/dev/ttyUSB1"}) {
            const PortFacts facts = collector().collect(node, PortFactCollector::Depth::quick);
            QCOMPARE(facts.sharedById, byId);
            QCOMPARE(idsOf(facts), QStringList{"by-id-collision"});
        }
    }

    // brltty runs as its own user: its descriptors stay hidden, so usbfs is all that shows.
    void ch340TakenByBrltty()
    {
        addInterface(addUsbDevice("3-1", "1a86", "7523"), "usbfs");
        const QString rules = m_root->filePath("usr/lib/udev/rules.d/90-brltty-device.rules");
        QVERIFY(writeFile(rules,
                          "# Device: 1A86:7523\n"
                          "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\", "
                          "GOTO=\"brltty_usb_run\"\n"));
        const auto unboundFacts = [this](const QList<UsbId>& shortLived = {}) {
            const QList<PortFacts> all =
                collector(shortLived).collectAll(PortFactCollector::Depth::quick);
            return all.size() == 1 && all.first().unbound ? all.first() : PortFacts();
        };
        PortFacts facts = unboundFacts();
        QCOMPARE(facts.capturedBy, std::optional<QString>("usbfs"));
        QCOMPARE(facts.brlttyRule, QStringLiteral("/usr/lib/udev/rules.d/90-brltty-device.rules"));
        QCOMPARE(idsOf(facts), QStringList{"brltty"});

        // The rule switched off as the fix says: then it is some program's hold.
        QVERIFY(QDir().mkpath(m_root->filePath("etc/udev/rules.d")));
        QVERIFY(
            QFile::link("/dev/null", m_root->filePath("etc/udev/rules.d/90-brltty-device.rules")));
        facts = unboundFacts();
        QCOMPARE(facts.brlttyRule, QString());
        QCOMPARE(idsOf(facts), QStringList{"held-through-usbfs"});

        // Running, and the watcher saw its tty vanish at once.
        QVERIFY(writeFile(m_root->filePath("proc/812/comm"), "brltty\n"));
        facts = unboundFacts({{0x1a86, 0x7523}});
        QVERIFY(facts.brlttyRunning);
        QVERIFY(facts.vanishedQuickly);
        QCOMPARE(idsOf(facts), QStringList{"brltty"});
    }

    void acmPortWhileModemManagerRuns()
    {
        m_tree->addTty(addInterface(addUsbDevice("1-3", "2341", "0043"), "cdc_acm"), "ttyACM0");
        QVERIFY(writeFile(m_root->filePath("proc/640/comm"), "ModemManager\n"));
        const PortFacts facts = collector().collect("/dev/ttyACM0", PortFactCollector::Depth::full);
        QVERIFY(facts.modemManagerRunning);
        QCOMPARE(facts.driver, QStringLiteral("cdc_acm"));
        const QList<Finding> findings = PortDiagnosis::findings(facts);
        QCOMPARE(findings.size(), 1);
        QCOMPARE(findings.first().id, QStringLiteral("modemmanager"));
        // The rule names this adapter.
        QVERIFY(findings.first().commands.first().contains(
            R"(ATTRS{idVendor}=="2341", ATTRS{idProduct}=="0043", ENV{ID_MM_DEVICE_IGNORE}="1")"));
    }
};

QTEST_GUILESS_MAIN(TestPortFacts)
#include "test_port_facts.moc"

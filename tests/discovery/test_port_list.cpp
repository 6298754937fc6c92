#include "discovery/SerialPortInfo.h"
#include "discovery/UnboundAdapter.h"
#include "doctor/facts/UsbfsHolder.h"

#include <QTemporaryDir>
#include <QtTest>

using Holder = std::optional<QString>;
Q_DECLARE_METATYPE(Holder)

namespace {
SerialPortInfo port(const QString& path, const QString& detail = {})
{
    return {path, QStringLiteral("name"), detail.isEmpty() ? path : detail, false};
}

const QString bluetooth = QStringLiteral("/dev/cu.Bluetooth-Incoming-Port");

} // namespace

// The port list: what a port looks like, which one stays selected, and USB adapters that
// offer no port. Its order is checked on a scan (test_port_discovery).
class TestPortList : public QObject {
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<bool>("internal");
        const auto row = [](const char* tag, const QString& path, const char* detail, bool usb,
                            bool internal) {
            QTest::newRow(tag) << path << detail << usb << internal;
        };
        row("macOS FTDI", "/dev/cu.usbserial-A10K", "", true, false);
        row("macOS CP210x, upper case", "/dev/cu.SLAB_USBtoUART", "", true, false);
        row("usb-serial node", "/dev/ttyUSB0", "", true, false);
        row("CDC ACM node", "/dev/ttyACM1", "", true, false);
        row("stable name", "/dev/serial/by-id/usb-FTDI_A10K-if00-port0", "", true, false);
        row("USB in the detail", "/dev/ttyS4", "Exar · USB", true, false);
        row("detail case as written", "/dev/ttyS4", "usb bridge", false, false);
        row("by-path", "/dev/serial/by-path/pci-0:14.0-usb-0:2:1.0-port0", "", false, false);
        row("simulator", "simulator://smart", "Ohne Hardware", false, false);
        row("macOS Bluetooth", bluetooth, "", false, true);
        row("internal, case as written", "/dev/cu.bluetooth-incoming-port", "", false, false);
        row("Bluetooth serial", "/dev/rfcomm0", "", false, true);
        row("console", "/dev/console", "", false, true);
        row("USB gadget", "/dev/ttyGS0", "", false, true);
    }
    void classify()
    {
        QFETCH(QString, path);
        QFETCH(QString, detail);
        QFETCH(bool, usb);
        QFETCH(bool, internal);
        QCOMPARE(port(path, detail).looksLikeUSBAdapter(), usb);
        QCOMPARE(port(path, detail).isInternalPort(), internal);
    }

    void repairSelection_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("scanned");
        QTest::addColumn<QString>("expected");
        const QString usb0 = "/dev/ttyUSB0";
        const QString usb1 = "/dev/ttyUSB1";
        const QString uart = "/dev/ttyS4";
        QTest::newRow("internal gives way to adapter")
            << bluetooth << QStringList{usb0, bluetooth} << usb0;
        QTest::newRow("internal stays without adapter")
            << bluetooth << QStringList{uart, bluetooth} << bluetooth;
        QTest::newRow("plain port stays") << uart << QStringList{usb0, uart} << uart;
        QTest::newRow("none: first adapter in list order")
            << "" << QStringList{uart, usb1, usb0} << usb1;
        QTest::newRow("vanished, no adapter") << "/dev/ttyUSB7" << QStringList{uart} << "";
    }

    void repairSelection()
    {
        QFETCH(QString, selected);
        QFETCH(QStringList, scanned);
        QFETCH(QString, expected);
        QList<SerialPortInfo> ports;
        for (const QString& path : scanned)
            ports << port(path);
        ports += SerialPortInfo::simulatorEntries();
        QCOMPARE(SerialPortInfo::repairSelection(selected, ports), expected);
    }

    void vendorLabel()
    {
        const auto labelOf = [](int vendorID) {
            return UnboundAdapter{{}, vendorID, 0, {}, {}}.vendorLabel();
        };
        QCOMPARE(labelOf(1367), QStringLiteral("0557")); // known (ATEN), no name
        QCOMPARE(labelOf(0x1A), QStringLiteral("001A"));
        QVERIFY(UnboundAdapter::knownVendorIDs().contains(1367));
        QVERIFY(!UnboundAdapter::knownVendorIDs().contains(0x1A));
    }

    void diagnosis_data()
    {
        QTest::addColumn<int>("vendorID");
        QTest::addColumn<Holder>("capturedBy");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Parallels")
            << 4292 << Holder("prl_usb_connect")
            << "Parallels hat den Wandler für eine VM übernommen. In Parallels: Geräte → USB & "
               "Bluetooth → „CP2102N USB to UART“ vom Windows-Gast trennen (bzw. „Mit Mac "
               "verbinden“). Danach „Neu suchen“.";
        QTest::newRow("program, prl only at the start")
            << 4292 << Holder("usbfs-prl")
            << "Das Programm „usbfs-prl“ belegt den Wandler direkt. Programm beenden oder Gerät "
               "dort freigeben, dann „Neu suchen“.";
        QTest::newRow("no driver, named vendor")
            << 1027 << Holder()
            << "Kein Treiber aktiv. FTDI: Wandler ab- und wieder anstecken; ggf. "
               "Hersteller-Treiber installieren und in den Systemeinstellungen erlauben.";
    }
    void diagnosis()
    {
        QFETCH(int, vendorID);
        QFETCH(Holder, capturedBy);
        QFETCH(QString, expected);
        const UnboundAdapter adapter{"CP2102N USB to UART", vendorID, 0xEA60, "0001", capturedBy};
        QCOMPARE(adapter.diagnosis(), expected);
    }

    // The drivers bound to the device's interfaces ("" for none).
    void capturingDriver()
    {
        const auto held = [](const QStringList& drivers) {
            return UnboundAdapter::capturingDriver(drivers);
        };
        QCOMPARE(held({"ftdi_sio"}), Holder());
        QCOMPARE(held({"hub"}), Holder());                     // USB core
        QCOMPARE(held({"usbfs", "usbhid"}), Holder("usbhid")); // the later holder wins
        QCOMPARE(held({"usbfs", "cdc_acm"}), Holder());        // a serial driver beside it
    }

    // The program behind a USB device held through usbfs, found in a fake /proc.
    void nodeIsNamedByBusAndDevice()
    {
        QCOMPARE(UsbfsHolder().nodePath(3, 5), QStringLiteral("/dev/bus/usb/003/005"));
    }

    void holderOf_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("comm");
        QTest::addColumn<QString>("openFile"); // below the device root
        QTest::addColumn<Holder>("expected");
        const auto row = [](const char* tag, const char* folder, const char* comm, const char* file,
                            const Holder& expected) {
            QTest::newRow(tag) << folder << comm << file << expected;
        };
        row("holds the node", "4711", "prl_disp_service", "/bus/usb/003/005", "prl_disp_service");
        row("longer name", "4711", "brltty", "/bus/usb/003/0051", {});
        row("shorter name", "4711", "brltty", "/bus/usb/003/00", {});
        row("not a process", "net", "brltty", "/bus/usb/003/005", {});
        row("no command name", "4711", "", "/bus/usb/003/005", {});
    }

    void holderOf()
    {
        QFETCH(QString, folder);
        QFETCH(QString, comm);
        QFETCH(QString, openFile);
        QFETCH(Holder, expected);
        QTemporaryDir root;
        const QString proc = root.filePath("proc");
        const QString dev = root.filePath("dev");
        // A process whose descriptors cannot be read, and one with a terminal.
        QVERIFY(QDir().mkpath(proc + "/1"));
        QVERIFY(addProcess(proc + "/815", "bash", "/dev/pts/0"));
        QVERIFY(addProcess(proc + "/" + folder, comm, dev + openFile));
        QCOMPARE(UsbfsHolder(proc, dev).holderOf(3, 5), expected);
    }

private:
    // A process folder as /proc shows it, with one open descriptor.
    static bool addProcess(const QString& folder, const QString& comm, const QString& openFile)
    {
        QFile file(folder + "/comm");
        return QDir().mkpath(folder + "/fd") && file.open(QIODevice::WriteOnly) &&
               file.write(comm.toUtf8() + '\n') > 0 && QFile::link(openFile, folder + "/fd/7");
    }
};

QTEST_GUILESS_MAIN(TestPortList)
#include "test_port_list.moc"

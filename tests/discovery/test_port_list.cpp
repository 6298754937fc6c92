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
    // "usb" for an adapter, "internal" for a port that is none; the detail counts as written.
    void classify()
    {
        const auto kind = [](const QString& path, const QString& detail = {}) {
            const SerialPortInfo info = port(path, detail);
            return QString(info.looksLikeUSBAdapter() ? "usb" : "") +
                   (info.isInternalPort() ? "internal" : "");
        };
        QCOMPARE(kind("/dev/cu.usbserial-A10K"), "usb"); // macOS FTDI
        QCOMPARE(kind("/dev/cu.SLAB_USBtoUART"), "usb"); // macOS CP210x, upper case
        QCOMPARE(kind("/dev/ttyUSB0"), "usb");
        QCOMPARE(kind("/dev/ttyACM1"), "usb");
        QCOMPARE(kind("/dev/serial/by-id/usb-FTDI_A10K-if00-port0"), "usb");
        QCOMPARE(kind("/dev/ttyS4", "Exar · USB"), "usb");
        QCOMPARE(kind("/dev/ttyS4", "usb bridge"), "");
        QCOMPARE(kind("/dev/serial/by-path/pci-0:14.0-usb-0:2:1.0-port0"), "");
        QCOMPARE(kind("simulator://smart", "Ohne Hardware"), "");
        QCOMPARE(kind(bluetooth), "internal");
        QCOMPARE(kind("/dev/cu.bluetooth-incoming-port"), ""); // case as written
        QCOMPARE(kind("/dev/rfcomm0"), "internal");
        QCOMPARE(kind("/dev/console"), "internal");
        QCOMPARE(kind("/dev/ttyGS0"), "internal"); // a USB gadget
    }

    // Which port stays selected after a scan (the simulators always listed last).
    void repairSelection()
    {
        const auto kept = [](const QString& selected, const QStringList& scanned) {
            QList<SerialPortInfo> ports;
            for (const QString& path : scanned)
                ports << port(path);
            return SerialPortInfo::repairSelection(selected,
                                                   ports + SerialPortInfo::simulatorEntries());
        };
        const QString usb0 = "/dev/ttyUSB0", usb1 = "/dev/ttyUSB1", uart = "/dev/ttyS4";
        QCOMPARE(kept(bluetooth, {usb0, bluetooth}), usb0);      // an internal port gives way
        QCOMPARE(kept(bluetooth, {uart, bluetooth}), bluetooth); // to an adapter only
        QCOMPARE(kept(uart, {usb0, uart}), uart);
        QCOMPARE(kept("", {uart, usb1, usb0}), usb1);      // the first adapter in list order
        QCOMPARE(kept("/dev/ttyUSB7", {uart}), QString()); // vanished, no adapter
    }

    void vendorLabelAndCapturingDriver()
    {
        const auto labelOf = [](int vendorID) {
            return UnboundAdapter{{}, vendorID, 0, {}, {}}.vendorLabel();
        };
        QCOMPARE(labelOf(1367), QStringLiteral("0557")); // known (ATEN), no name
        QCOMPARE(labelOf(0x1A), QStringLiteral("001A"));
        QVERIFY(UnboundAdapter::knownVendorIDs().contains(1367));
        QVERIFY(!UnboundAdapter::knownVendorIDs().contains(0x1A));

        // The drivers bound to the device's interfaces ("" for none) that hold it.
        const auto held = [](const QStringList& drivers) {
            return UnboundAdapter::capturingDriver(drivers);
        };
        QCOMPARE(held({"ftdi_sio"}), Holder());
        QCOMPARE(held({"hub"}), Holder());                     // USB core
        QCOMPARE(held({"usbfs", "usbhid"}), Holder("usbhid")); // the later holder wins
        QCOMPARE(held({"usbfs", "cdc_acm"}), Holder());        // a serial driver beside it
    }

    void diagnosis()
    {
        const auto diagnosis = [](int vendorID, const Holder& capturedBy) {
            return UnboundAdapter{"CP2102N USB to UART", vendorID, 0xEA60, "0001", capturedBy}
                .diagnosis();
        };
        QCOMPARE(diagnosis(4292, "prl_usb_connect"),
                 "Parallels hat den Wandler für eine VM übernommen. In Parallels: Geräte → USB & "
                 "Bluetooth → „CP2102N USB to UART“ vom Windows-Gast trennen (bzw. „Mit Mac "
                 "verbinden“). Danach „Neu suchen“.");
        QCOMPARE(diagnosis(4292, "usbfs-prl"), // "prl" only at the start is Parallels
                 "Das Programm „usbfs-prl“ belegt den Wandler direkt. Programm beenden oder Gerät "
                 "dort freigeben, dann „Neu suchen“.");
        QCOMPARE(diagnosis(1027, {}),
                 "Kein Treiber aktiv. FTDI: Wandler ab- und wieder anstecken; ggf. "
                 "Hersteller-Treiber installieren und in den Systemeinstellungen erlauben.");
    }

    // The program behind a USB device held through usbfs (its node named by bus and device),
    // found in a fake /proc.
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
        QCOMPARE(UsbfsHolder().nodePath(3, 5), "/dev/bus/usb/003/005");
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

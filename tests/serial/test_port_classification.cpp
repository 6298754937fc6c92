#include "serial/SerialPortInfo.h"

#include <QtTest>

namespace {

SerialPortInfo port(const QString& path, const QString& detail = {})
{
    return {path, QStringLiteral("name"), detail.isEmpty() ? path : detail, false};
}

const QString bluetooth = QStringLiteral("/dev/cu.Bluetooth-Incoming-Port");

} // namespace

class TestPortClassification : public QObject {
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
        row("USB in the detail", "/dev/ttyS4", "Exar \u00B7 USB", true, false);
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

    void sortsAdaptersFirstThenByPlainPath()
    {
        const QStringList scanned = {"/dev/ttyS4",   bluetooth,
                                     "/dev/ttyUSB1", "/dev/cu.usbserial-A10K",
                                     "/dev/ttyACM0", "/dev/cu.SLAB_USBtoUART"};
        QList<SerialPortInfo> ports;
        for (const QString& path : scanned)
            ports << port(path);
        ports << port("/dev/ttyS5", "Quatech \u00B7 USB");

        QStringList sorted;
        for (const SerialPortInfo& entry : SerialPortInfo::sorted(ports))
            sorted << entry.path;
        QCOMPARE(sorted,
                 (QStringList{"/dev/cu.SLAB_USBtoUART", "/dev/cu.usbserial-A10K", "/dev/ttyACM0",
                              "/dev/ttyS5", "/dev/ttyUSB1", bluetooth, "/dev/ttyS4"}));
    }

    void repairSelection_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("scanned");
        QTest::addColumn<QString>("expected");
        const QString usb0 = "/dev/ttyUSB0";
        const QString usb1 = "/dev/ttyUSB1";
        const QString uart = "/dev/ttyS4";
        const QString loopback = SerialPortInfo::loopbackSimulatorPath;
        QTest::newRow("internal gives way to adapter")
            << bluetooth << QStringList{usb0, bluetooth} << usb0;
        QTest::newRow("internal stays without adapter")
            << bluetooth << QStringList{uart, bluetooth} << bluetooth;
        QTest::newRow("simulator stays") << loopback << QStringList{usb0} << loopback;
        QTest::newRow("plain port stays") << uart << QStringList{usb0, uart} << uart;
        QTest::newRow("none: first adapter in list order")
            << "" << QStringList{uart, usb1, usb0} << usb1;
        QTest::newRow("vanished: first adapter")
            << "/dev/ttyUSB7" << QStringList{uart, usb0} << usb0;
        QTest::newRow("vanished, no adapter") << "/dev/ttyUSB7" << QStringList{uart} << "";
        QTest::newRow("none, only simulators") << "" << QStringList{} << "";
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
};

QTEST_GUILESS_MAIN(TestPortClassification)
#include "test_port_classification.moc"

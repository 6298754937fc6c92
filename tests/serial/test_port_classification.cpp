#include "serial/SerialPortInfo.h"

#include <QtTest>
#include <cerrno>
#include <linux/serial.h>

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
    void looksLikeUSBAdapter_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("expected");
        QTest::newRow("macOS FTDI") << "/dev/cu.usbserial-A10K"
                                    << "" << true;
        QTest::newRow("macOS CDC") << "/dev/cu.usbmodem14201"
                                   << "" << true;
        QTest::newRow("macOS CH34x") << "/dev/cu.wchusbserial1410"
                                     << "" << true;
        QTest::newRow("macOS CP210x, upper case") << "/dev/cu.SLAB_USBtoUART"
                                                  << "" << true;
        QTest::newRow("macOS PL2303, upper case") << "/dev/cu.PL2303-0000"
                                                  << "" << true;
        QTest::newRow("usb-serial node") << "/dev/ttyUSB0"
                                         << "" << true;
        QTest::newRow("CDC ACM node") << "/dev/ttyACM1"
                                      << "" << true;
        QTest::newRow("stable name") << "/dev/serial/by-id/usb-FTDI_A10K-if00-port0"
                                     << "" << true;
        QTest::newRow("USB in the detail") << "/dev/ttyS4"
                                           << "Exar \u00B7 USB" << true;
        QTest::newRow("detail case as written") << "/dev/ttyS4"
                                                << "usb bridge" << false;
        QTest::newRow("built-in UART") << "/dev/ttyS0"
                                       << "" << false;
        QTest::newRow("by-path") << "/dev/serial/by-path/pci-0:14.0-usb-0:2:1.0-port0"
                                 << "" << false;
        QTest::newRow("simulator") << "simulator://smart"
                                   << "Ohne Hardware" << false;
    }

    void looksLikeUSBAdapter()
    {
        QFETCH(QString, path);
        QFETCH(QString, detail);
        QFETCH(bool, expected);
        QCOMPARE(port(path, detail).looksLikeUSBAdapter(), expected);
    }

    void isInternalPort_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("expected");
        QTest::newRow("macOS Bluetooth") << bluetooth << true;
        QTest::newRow("macOS debug console") << "/dev/cu.debug-console" << true;
        QTest::newRow("Bluetooth serial") << "/dev/rfcomm0" << true;
        QTest::newRow("printk") << "/dev/ttyprintk" << true;
        QTest::newRow("console") << "/dev/console" << true;
        QTest::newRow("USB gadget") << "/dev/ttyGS0" << true;
        QTest::newRow("case as written") << "/dev/cu.bluetooth-incoming-port" << false;
        QTest::newRow("adapter") << "/dev/ttyUSB0" << false;
    }

    void isInternalPort()
    {
        QFETCH(QString, path);
        QFETCH(bool, expected);
        QCOMPARE(port(path).isInternalPort(), expected);
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
        QTest::newRow("Linux internal gives way")
            << "/dev/rfcomm0" << QStringList{usb1, "/dev/rfcomm0"} << usb1;
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

    void keepsBuiltInUart_data()
    {
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("uartType"); // -1: could not be asked
        QTest::addColumn<bool>("expected");
        QTest::newRow("16550A behind it") << 0 << PORT_16550A << true;
        QTest::newRow("no chip") << 0 << PORT_UNKNOWN << false;
        QTest::newRow("does not answer") << 0 << -1 << false;
        QTest::newRow("held exclusively") << EBUSY << -1 << true;
        QTest::newRow("no permission") << EACCES << -1 << false;
    }

    void keepsBuiltInUart()
    {
        QFETCH(int, openError);
        QFETCH(int, uartType);
        QFETCH(bool, expected);
        const auto type = uartType < 0 ? std::nullopt : std::optional(uartType);
        QCOMPARE(SerialPortInfo::keepsBuiltInUart(openError, type), expected);
    }
};

QTEST_GUILESS_MAIN(TestPortClassification)
#include "test_port_classification.moc"

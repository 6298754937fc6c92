#include "serial/UnboundAdapter.h"

#include <QtTest>

using Holder = std::optional<QString>;
Q_DECLARE_METATYPE(Holder)

class TestAdapterDiagnosis : public QObject {
    Q_OBJECT

private slots:
    void vendorLabel_data()
    {
        QTest::addColumn<int>("vendorID");
        QTest::addColumn<QString>("expected");
        QTest::newRow("FTDI") << 1027 << "FTDI";
        QTest::newRow("Prolific") << 1659 << "Prolific PL2303";
        QTest::newRow("Silicon Labs") << 4292 << "Silicon Labs CP210x";
        QTest::newRow("WCH") << 6790 << "WCH CH34x";
        QTest::newRow("ATEN, no name") << 1367 << "0557";
        QTest::newRow("Arduino, no name") << 9025 << "2341";
        QTest::newRow("unknown, padded") << 0x1A << "001A";
    }

    void vendorLabel()
    {
        QFETCH(int, vendorID);
        QFETCH(QString, expected);
        QCOMPARE((UnboundAdapter{{}, vendorID, 0, {}, {}}.vendorLabel()), expected);
        QVERIFY(UnboundAdapter::knownVendorIDs().contains(vendorID) == (vendorID != 0x1A));
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
               "Hersteller-Treiber "
               "installieren und in den Systemeinstellungen erlauben.";
    }

    void diagnosis()
    {
        QFETCH(int, vendorID);
        QFETCH(Holder, capturedBy);
        QFETCH(QString, expected);
        const UnboundAdapter adapter{"CP2102N USB to UART", vendorID, 0xEA60, "0001", capturedBy};
        QCOMPARE(adapter.diagnosis(), expected);
    }

    void identityIsDecimalWithSerial()
    {
        QCOMPARE((UnboundAdapter{"CP2102N", 4292, 0xEA60, "0001", {}}.identity()),
                 QStringLiteral("4292:60000:0001"));
        QCOMPARE((UnboundAdapter{"USB Serial", 0x1A86, 0x7523, {}, {}}.identity()),
                 QStringLiteral("6790:29987:"));
    }

    void capturingDriver_data()
    {
        QTest::addColumn<QStringList>("interfaceDrivers");
        QTest::addColumn<Holder>("expected");
        QTest::newRow("no driver bound") << QStringList{""} << Holder();
        QTest::newRow("serial driver") << QStringList{"ftdi_sio"} << Holder();
        QTest::newRow("USB core") << QStringList{"hub"} << Holder();
        QTest::newRow("user-space program") << QStringList{"", "usbfs"} << Holder("usbfs");
        QTest::newRow("later holder wins") << QStringList{"usbfs", "usbhid"} << Holder("usbhid");
        QTest::newRow("serial beside held") << QStringList{"usbfs", "cdc_acm"} << Holder();
    }

    void capturingDriver()
    {
        QFETCH(QStringList, interfaceDrivers);
        QFETCH(Holder, expected);
        QCOMPARE(UnboundAdapter::capturingDriver(interfaceDrivers), expected);
    }
};

QTEST_GUILESS_MAIN(TestAdapterDiagnosis)
#include "test_adapter_diagnosis.moc"

#include "serial/UnboundAdapter.h"

#include <QtTest>

using Holder = std::optional<QString>;
Q_DECLARE_METATYPE(Holder)

class TestAdapterDiagnosis : public QObject {
    Q_OBJECT

private slots:
    void vendorLabelAndIdentity()
    {
        const auto labelOf = [](int vendorID) {
            return UnboundAdapter{{}, vendorID, 0, {}, {}}.vendorLabel();
        };
        QCOMPARE(labelOf(1027), QStringLiteral("FTDI"));
        QCOMPARE(labelOf(4292), QStringLiteral("Silicon Labs CP210x"));
        QCOMPARE(labelOf(1367), QStringLiteral("0557")); // known (ATEN), no name
        QCOMPARE(labelOf(0x1A), QStringLiteral("001A"));
        QVERIFY(UnboundAdapter::knownVendorIDs().contains(1367));
        QVERIFY(!UnboundAdapter::knownVendorIDs().contains(0x1A));
        // Decimal, with the serial number.
        QCOMPARE((UnboundAdapter{"CP2102N", 4292, 0xEA60, "0001", {}}.identity()),
                 QStringLiteral("4292:60000:0001"));
        QCOMPARE((UnboundAdapter{"USB Serial", 0x1A86, 0x7523, {}, {}}.identity()),
                 QStringLiteral("6790:29987:"));
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
        QCOMPARE(held({""}), Holder());
        QCOMPARE(held({"ftdi_sio"}), Holder());
        QCOMPARE(held({"hub"}), Holder());                     // USB core
        QCOMPARE(held({"", "usbfs"}), Holder("usbfs"));        // a user-space program
        QCOMPARE(held({"usbfs", "usbhid"}), Holder("usbhid")); // the later holder wins
        QCOMPARE(held({"usbfs", "cdc_acm"}), Holder());        // a serial driver beside it
    }
};

QTEST_GUILESS_MAIN(TestAdapterDiagnosis)
#include "test_adapter_diagnosis.moc"

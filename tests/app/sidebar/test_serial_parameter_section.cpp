#include "app/UiFixture.h"
#include "app/sidebar/SerialParameterSection.h"

#include <QLabel>
#include <QPushButton>

class SerialParameterSectionTest : public QObject {
    Q_OBJECT

private slots:
    void pickersChangeTheSettings_data()
    {
        QTest::addColumn<QString>("picker");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("summary");
        const char* rows[][4] = {
            {"baud rate", "baudRatePicker", "9600", "9600 \u00B7 8N1"},
            {"data bits", "dataBitsPicker", "7", "19200 \u00B7 7N1"},
            {"parity", "parityPicker", "Gerade (Even)", "19200 \u00B7 8E1"},
            {"stop bits", "stopBitsPicker", "2", "19200 \u00B7 8N2"},
            {"flow control", "flowControlPicker", "Hardware (RTS/CTS)", "19200 \u00B7 8N1"},
            {"line ending", "lineEndingPicker", "CR+LF (\\r\\n)", "19200 \u00B7 8N1"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
    }
    void pickersChangeTheSettings()
    {
        QFETCH(QString, picker);
        QFETCH(QString, entry);
        QFETCH(QString, summary);
        UiFixture f;
        SerialParameterSection section(*f.controller);
        section.show();
        auto* reset = child<QPushButton>(&section, "smartStandardButton");
        QVERIFY(!reset->isVisible());

        auto* box = child<QComboBox>(&section, picker);
        const int index = box->findText(entry);
        QVERIFY(index >= 0);
        chooseInPicker(box, index);
        QVERIFY(f.controller->settings() != SerialSettings::smartStandard());
        QCOMPARE(child<QLabel>(&section, "settingsSummary")->text(), summary);
        QVERIFY(reset->isVisible());
        QCOMPARE(reset->text(), QStringLiteral("SMART-Standard (19200 \u00B7 8N1 \u00B7 CR)"));

        reset->click();
        QCOMPARE(f.controller->settings(), SerialSettings::smartStandard());
        QVERIFY(!reset->isVisible());
        // The picker shows the standard again, not the entry chosen before.
        QVERIFY(box->currentIndex() != index);
    }

    void pickerKeepsTheTimingButTheResetButtonDoesNot()
    {
        UiFixture f;
        SerialSettings timed = SerialSettings::smartStandard();
        timed.responseTimeout = 3.0;
        timed.assertDTR = false;
        f.controller->setSettings(timed);
        SerialSettings expected = timed;
        expected.baudRate = 115200;
        {
            SerialParameterSection section(*f.controller);
            auto* baud = child<QComboBox>(&section, "baudRatePicker");
            chooseInPicker(baud, baud->findText("115200"));
            QCOMPARE(f.controller->settings(), expected);
        }
        // Persisted by the controller: a new one on the same store starts with it.
        QCOMPARE(f.make().settings(), expected);

        SerialParameterSection again(*f.controller);
        f.controller->setSettings(timed);
        again.show();
        auto* reset = child<QPushButton>(&again, "smartStandardButton");
        QVERIFY(reset->isVisible());
        reset->click();
        QCOMPARE(f.controller->settings(), SerialSettings::smartStandard());
    }

    void unofferedRateStaysVisible()
    {
        UiFixture f;
        SerialSettings odd = SerialSettings::smartStandard();
        odd.baudRate = 31250;
        f.controller->setSettings(odd);
        SerialParameterSection section(*f.controller);
        QCOMPARE(child<QComboBox>(&section, "baudRatePicker")->currentText(),
                 QStringLiteral("31250"));
    }
};

QTEST_MAIN(SerialParameterSectionTest)
#include "test_serial_parameter_section.moc"

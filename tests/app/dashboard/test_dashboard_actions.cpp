// What the dashboard's controls send to a display: the built-in simulator plays the display.
#include "app/UiFixture.h"
#include "app/dashboard/AudioCard.h"
#include "app/dashboard/DashboardView.h"
#include "app/dashboard/MaintenanceCard.h"
#include "app/dashboard/PowerCard.h"
#include "app/widgets/TileButton.h"
#include "app/widgets/ValueSlider.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

namespace {

// A connected dashboard with the display simulator behind it.
struct Connected : UiFixture {
    DashboardView view{*controller};

    bool start()
    {
        view.resize(900, 800);
        view.show();
        // No poll gets in the way of counting what the dashboard sends.
        controller->setPollingEnabled(false);
        return connectTo(SerialPortInfo::smartSimulatorPath) && waitUntilIdle();
    }
    bool sent(const QString& command) const { return logTexts(Kind::tx).contains(command); }
    // Sent, or still waiting in the queue: either way the command left the dashboard.
    bool handedOn(const QString& command) const
    {
        return sent(command) || (controller->current() && controller->current()->text == command) ||
               std::any_of(controller->queue().begin(), controller->queue().end(),
                           [&](const SmartCommand& queued) { return queued.text == command; });
    }
};

TileButton* tile(const QWidget* parent, const QString& title)
{
    for (TileButton* candidate : parent->findChildren<TileButton*>()) {
        if (candidate->title() == title && !candidate->isHidden())
            return candidate;
    }
    qFatal("no tile %s", qPrintable(title));
}

// The one open confirmation, if any.
QMessageBox* openDialog(const QWidget* view)
{
    for (QMessageBox* box : view->findChildren<QMessageBox*>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

class DashboardActionsTest : public QObject {
    Q_OBJECT

private slots:
    void irreversiblePowerStatesAskFirst_data()
    {
        QTest::addColumn<QString>("tileTitle");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("message");
        QTest::newRow("off") << "Aus"
                             << "off"
                             << "Aus \u201EAus\u201C l\u00E4sst sich das Display nur am "
                                "Netzschalter des Ger\u00E4ts wieder einschalten.";
        QTest::newRow("energy saving") << "Energiesparen"
                                       << "powersave"
                                       << "Aus \u201EEnergiesparen\u201C weckt nur der "
                                          "Netzschalter am Ger\u00E4t \u2013 nicht RS-232.";
    }
    void irreversiblePowerStatesAskFirst()
    {
        QFETCH(QString, tileTitle);
        QFETCH(QString, raw);
        QFETCH(QString, message);
        Connected c;
        QVERIFY(c.start());
        const QString command = "set powerstate=" + raw;
        auto* card = c.view.findChild<PowerCard*>();
        for (const bool confirm : {false, true}) {
            tile(card, tileTitle)->click();
            QPointer<QMessageBox> box = openDialog(&c.view);
            QVERIFY(box);
            QVERIFY(card->pendingConfirmation().has_value());
            QCOMPARE(box->text(), "Display auf \u201E" + tileTitle + "\u201C schalten?");
            QCOMPARE(box->informativeText(), message);
            QVERIFY(!c.handedOn(command));
            if (confirm)
                withText<QPushButton>(box, "Trotzdem \u201E" + tileTitle + "\u201C")->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
            QCOMPARE(card->pendingConfirmation(), std::nullopt);
            QTRY_VERIFY_WITH_TIMEOUT(!box, waitMs);
            // Cancelled: the dialog is gone and still nothing went out.
            QCOMPARE(c.handedOn(command), confirm);
        }
        QTRY_VERIFY_WITH_TIMEOUT(c.sent(command), waitMs);

        // Other states go out at once.
        tile(card, "Standby (Netzwerk)")->click();
        QVERIFY(!openDialog(&c.view));
        QVERIFY(c.handedOn("set powerstate=standby"));
    }

    void factoryResetNeedsTheSerialNumberAndConfirmation()
    {
        Connected c;
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* reset = withText<QPushButton>(card, "Werkseinstellungen \u2026");
        QCOMPARE(reset->toolTip(), QStringLiteral("set factoryreset=<Seriennummer>"));
        QVERIFY(!reset->isEnabled());
        QVERIFY(c.start());
        QVERIFY(reset->isEnabled()); // the serial number has been read
        const QString serial = c.controller->serialNumber();
        const QString command = "set factoryreset=" + serial;

        for (const char* answer : {"Abbrechen", "Zur\u00FCcksetzen"}) {
            reset->click();
            QVERIFY(card->isConfirmingReset());
            QPointer<QMessageBox> box = openDialog(&c.view);
            QVERIFY(box);
            QCOMPARE(box->text(),
                     QStringLiteral("Display auf Werkseinstellungen zur\u00FCcksetzen?"));
            QCOMPARE(box->informativeText(),
                     "Sendet \u201Eset factoryreset=" + serial +
                         "\u201C. Alle Einstellungen des Displays gehen verloren.");
            QVERIFY(!c.handedOn(command));
            withText<QPushButton>(box, answer)->click();
            QVERIFY(!card->isConfirmingReset());
            QTRY_VERIFY_WITH_TIMEOUT(!box, waitMs);
        }
        QTRY_VERIFY_WITH_TIMEOUT(c.sent(command), waitMs);
    }

    void freeCommandLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("returnKey");
        QTest::newRow("button") << "get volume"
                                << "get volume" << false;
        QTest::newRow("return, trimmed") << "  get brightness "
                                         << "get brightness" << true;
        QTest::newRow("blanks ask for a prompt") << "   "
                                                 << "(Zeilenende \u2013 Prompt anfordern)" << true;
    }
    void freeCommandLine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(bool, returnKey);
        Connected c;
        QVERIFY(c.start());
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* field = card->findChild<QLineEdit*>();
        QPushButton* send = withText<QPushButton>(card, "Senden");
        QVERIFY(!send->isEnabled());
        const qsizetype before = c.logTexts(Kind::tx).size();

        QTest::keyClicks(field, typed);
        QVERIFY(send->isEnabled());
        if (returnKey)
            QTest::keyClick(field, Qt::Key_Return);
        else
            send->click();
        QCOMPARE(field->text(), QString());
        QVERIFY(!send->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(c.logTexts(Kind::tx).mid(before).contains(expected), waitMs);

        // An empty field sends nothing, also by Return.
        const qsizetype after = c.logTexts(Kind::tx).size();
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(c.controller->queue().isEmpty());
        QCOMPARE(c.logTexts(Kind::tx).size(), after);
    }

    void infoAndHelpQueries()
    {
        Connected c;
        QVERIFY(c.start());
        const qsizetype before = c.logTexts(Kind::tx).size();
        auto* card = c.view.findChild<MaintenanceCard*>();
        withText<QPushButton>(card, "Ger\u00E4teinfo abfragen")->click();
        withText<QPushButton>(card, "Hilfe (get help)")->click();
        const QStringList expected{"get modelnum", "get serialnum", "get partnum", "get fwversion",
                                   "get help"};
        QTRY_COMPARE_WITH_TIMEOUT(c.logTexts(Kind::tx).mid(before, 5), expected, waitMs);
    }

    void volumeSliderAndSteps()
    {
        Connected c;
        QVERIFY(c.start());
        QCOMPARE(c.controller->volume(), 30.0);
        auto* card = c.view.findChild<AudioCard*>();
        auto* row = card->findChild<ValueSlider*>();
        auto* slider = row->findChild<QSlider*>();
        auto* figures = row->findChild<QLabel*>("figures");

        // Dragging from 30 to 60 sets the volume.
        slider->setSliderDown(true);
        slider->setSliderPosition(60);
        QCOMPARE(c.controller->volume(), 60.0);
        slider->setSliderDown(false);
        QTRY_VERIFY_WITH_TIMEOUT(c.sent("set volume=60"), waitMs);

        // "−" at 3 sends the full step and shows the limited value.
        withText<QPushButton>(card, "0")->click();
        QCOMPARE(figures->text(), QStringLiteral("0"));
        c.controller->setVolume(3);
        QCOMPARE(figures->text(), QStringLiteral("3"));
        row->findChildren<QPushButton*>().constFirst()->click();
        QCOMPARE(figures->text(), QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(c.sent("set volume-5"), waitMs);

        // Mute dims the figures and follows the controller.
        auto* mute = withText<QPushButton>(card, "Stumm");
        mute->click();
        QVERIFY(c.controller->mute());
        QVERIFY(mute->isChecked());
        QVERIFY(row->isDimmed());
        QTRY_VERIFY_WITH_TIMEOUT(c.sent("set mute=on"), waitMs);
    }
};

QTEST_MAIN(DashboardActionsTest)
#include "test_dashboard_actions.moc"

// What the dashboard shows of the display's values, and what its controls send. The display is
// a fake line: values arrive through receive(), commands are read off the line.
#include "app/UiFixture.h"
#include "app/dashboard/AudioCard.h"
#include "app/dashboard/DashboardView.h"
#include "app/dashboard/InputCard.h"
#include "app/dashboard/MaintenanceCard.h"
#include "app/dashboard/NotConnectedHint.h"
#include "app/dashboard/PowerCard.h"
#include "app/dashboard/ReportingCard.h"
#include "app/dashboard/StatusChip.h"
#include "app/widgets/Stepper.h"
#include "app/widgets/SwitchButton.h"
#include "app/widgets/TileButton.h"
#include "app/widgets/ValueSlider.h"

#include <QGraphicsEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

namespace {

// The titles of the shown tiles of a card (or of its active ones).
QStringList tiles(const QWidget* card, bool activeOnly = false)
{
    QStringList titles;
    for (const TileButton* tile : card->findChildren<TileButton*>()) {
        if (!tile->isHidden() && (!activeOnly || tile->isActive()))
            titles.append(tile->title());
    }
    return titles;
}

QStringList chips(const QWidget& view)
{
    QStringList values;
    for (const StatusChip* chip : view.findChildren<StatusChip*>())
        values.append(chip->value());
    return values;
}

QString text(const QWidget& view, const QString& name)
{
    return child<QLabel>(&view, name)->text();
}

// The one open confirmation, if any.
QMessageBox* dialog(const QWidget& view)
{
    for (QMessageBox* box : view.findChildren<QMessageBox*>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

// A dashboard on a connected fake display that answers only with its prompt; no poll gets in
// the way of what the controls send.
struct Connected : UiFixture {
    DashboardView view{*controller};
    Connected()
    {
        view.resize(900, 800);
        view.show();
        controller->setPollingEnabled(false);
        connect(promptOnly);
    }
    // Runs the action and returns what the queue wrote for it.
    QStringList sentBy(const std::function<void()>& action)
    {
        const qsizetype mark = lines.lines.size();
        action();
        clock->advance(1);
        return sentSince(mark);
    }
    // The command an action sent (the controller may ask for the new value after it).
    QString commandOf(const std::function<void()>& action) { return sentBy(action).value(0); }
};

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void headerBeforeAndAfterDeviceInformation_data()
    {
        QTest::addColumn<bool>("rx");
        QTest::addColumn<QStringList>("powerTiles");
        QTest::newRow("QX") << false
                            << QStringList{"Ein", "Bereit", "Standby (Netzwerk)", "Energiesparen",
                                           "Aus"};
        QTest::newRow("RX") << true << QStringList{"Ein", "Standby (Netzwerk)", "Aus"};
    }
    void headerBeforeAndAfterDeviceInformation()
    {
        QFETCH(bool, rx);
        QFETCH(QStringList, powerTiles);
        Connected c;
        const DisplaySeries series = rx ? DisplaySeries::rx : DisplaySeries::qx;
        c.controller->setSeries(series);
        c.clock->settle(); // new tiles show on the next turn of the event loop
        QCOMPARE(text(c.view, "displayName"), "SMART Board " + rawValue(series));
        QCOMPARE(tiles(c.view.findChild<PowerCard*>()), powerTiles);
        for (const char* pair : {"serialNumber", "partNumber", "firmware"})
            QCOMPARE(text(c.view, pair), QStringLiteral("\u2013"));

        c.lines.receive("\r\nmodelnum=SBID-QX286\r\nserialnum=SIM0000001\r\nfwversion=1.07\r\n");
        QCOMPARE(text(c.view, "displayName"), QStringLiteral("SBID-QX286"));
        QCOMPARE(text(c.view, "serialNumber"), QStringLiteral("SIM0000001"));
        QCOMPARE(text(c.view, "partNumber"), QStringLiteral("\u2013"));
        QCOMPARE(text(c.view, "firmware"), QStringLiteral("1.07"));
    }

    void reportedStateIsShown_data()
    {
        QTest::addColumn<QByteArray>("reports");
        QTest::addColumn<QStringList>("chipValues");
        QTest::addColumn<QStringList>("activeTiles"); // of the power and input cards
        QTest::addColumn<bool>("noSignal");
        QTest::newRow("nothing yet")
            << QByteArray() << QStringList{"\u2013", "\u2013", "0"} << QStringList() << false;
        QTest::newRow("on, HDMI 2, 40")
            << QByteArray("powerstate=on\r\ninput=hdmi2\r\nvolume=40\r\n")
            << QStringList{"Ein", "HDMI 2", "40"} << QStringList{"Ein", "HDMI 2"} << false;
        QTest::newRow("muted") << QByteArray("volume=40\r\nmute=on\r\n")
                               << QStringList{"\u2013", "\u2013", "Stumm"} << QStringList()
                               << false;
        QTest::newRow("no signal, only for none")
            << QByteArray("input=none\r\n") << QStringList{"\u2013", "Kein Signal", "0"}
            << QStringList() << true;
        QTest::newRow("standby") << QByteArray("powerstate=standby\r\n")
                                 << QStringList{"Standby (Netzwerk)", "\u2013", "0"}
                                 << QStringList{"Standby (Netzwerk)"} << false;
        QTest::newRow("firmware update marks no tile")
            << QByteArray("powerstate=updateon\r\n")
            << QStringList{"Firmware-Update", "\u2013", "0"} << QStringList() << false;
    }
    void reportedStateIsShown()
    {
        QFETCH(QByteArray, reports);
        QFETCH(QStringList, chipValues);
        QFETCH(QStringList, activeTiles);
        QFETCH(bool, noSignal);
        Connected c;
        const qsizetype mark = c.lines.lines.size();
        c.lines.receive("\r\n" + reports);
        c.clock->settle();
        QCOMPARE(c.sentSince(mark), QStringList()); // showing a value asks for nothing
        QCOMPARE(chips(c.view), chipValues);
        auto* input = c.view.findChild<InputCard*>();
        QCOMPARE(tiles(c.view.findChild<PowerCard*>(), true) + tiles(input, true), activeTiles);
        QCOMPARE(tiles(input).size(), 9);
        QCOMPARE(withText<QLabel>(input, "Display meldet: kein Signal an der gew\u00E4hlten Quelle")
                     ->isVisibleTo(input),
                 noSignal);
    }

    void withoutConnectionTheCardsAreDimmedAndInert()
    {
        UiFixture f;
        DashboardView view(*f.controller);
        view.show();
        auto* hint = view.findChild<NotConnectedHint*>();
        QWidget* grid = view.findChild<PowerCard*>()->parentWidget();
        for (const bool connected : {false, true, false}) {
            if (connected)
                f.connect();
            else
                f.controller->disconnectLine();
            QCOMPARE(hint->isVisibleTo(&view), !connected);
            QCOMPARE(grid->isEnabled(), connected);
            QCOMPARE(grid->graphicsEffect()->isEnabled(), !connected);
        }
    }

    void irreversiblePowerStatesAskFirst_data()
    {
        QTest::addColumn<QString>("tile");
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
        QFETCH(QString, tile);
        QFETCH(QString, raw);
        QFETCH(QString, message);
        Connected c;
        auto* card = c.view.findChild<PowerCard*>();
        for (const bool confirm : {false, true}) {
            QVERIFY(c.sentBy([&] { withText<TileButton>(card, tile)->click(); }).isEmpty());
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box && card->pendingConfirmation());
            QCOMPARE(box->text(), "Display auf \u201E" + tile + "\u201C schalten?");
            QCOMPARE(box->informativeText(), message);
            const QString sent = c.commandOf([&] {
                if (confirm)
                    withText<QPushButton>(box, "Trotzdem \u201E" + tile + "\u201C")->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QCOMPARE(card->pendingConfirmation(), std::nullopt);
            QTRY_VERIFY(!box);
            QCOMPARE(sent, confirm ? "set powerstate=" + raw : QString());
        }
        // Other states go out at once.
        QCOMPARE(c.commandOf([&] { withText<TileButton>(card, "Standby (Netzwerk)")->click(); }),
                 QStringLiteral("set powerstate=standby"));
        QVERIFY(!dialog(c.view));
    }

    void factoryResetNeedsTheSerialNumberAndConfirmation()
    {
        Connected c;
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* reset = withText<QPushButton>(card, "Werkseinstellungen \u2026");
        QCOMPARE(reset->toolTip(), QStringLiteral("set factoryreset=<Seriennummer>"));
        QVERIFY(!reset->isEnabled());
        c.lines.receive("\r\nserialnum=SIM0000001\r\n");
        QVERIFY(reset->isEnabled());
        for (const char* answer : {"Abbrechen", "Zur\u00FCcksetzen"}) {
            reset->click();
            QVERIFY(card->isConfirmingReset());
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box);
            QCOMPARE(box->informativeText(), QStringLiteral("Sendet \u201Eset factoryreset="
                                                            "SIM0000001\u201C. Alle Einstellungen "
                                                            "des Displays gehen verloren."));
            const QStringList sent = c.sentBy([&] { withText<QPushButton>(box, answer)->click(); });
            QVERIFY(!card->isConfirmingReset());
            QCOMPARE(sent.contains("set factoryreset=SIM0000001"), answer[0] == 'Z');
        }
    }

    void freeCommandLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("returnKey");
        QTest::addColumn<QString>("sent");
        QTest::newRow("button") << "get volume" << false << "get volume";
        QTest::newRow("return, trimmed") << "  get brightness " << true << "get brightness";
        QTest::newRow("blanks ask for a prompt") << "   " << true << "";
    }
    void freeCommandLine()
    {
        QFETCH(QString, typed);
        QFETCH(bool, returnKey);
        QFETCH(QString, sent);
        Connected c;
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* field = card->findChild<QLineEdit*>();
        auto* send = withText<QPushButton>(card, "Senden");
        QVERIFY(!send->isEnabled());
        QTest::keyClicks(field, typed);
        QVERIFY(send->isEnabled());
        QCOMPARE(c.sentBy([&] {
            if (returnKey)
                QTest::keyClick(field, Qt::Key_Return);
            else
                send->click();
        }),
                 QStringList{sent});
        QCOMPARE(field->text(), QString());
        QVERIFY(!send->isEnabled());
        // An empty field sends nothing, also by Return.
        QVERIFY(c.sentBy([&] { QTest::keyClick(field, Qt::Key_Return); }).isEmpty());
    }

    void infoAndHelpQueries()
    {
        Connected c;
        auto* card = c.view.findChild<MaintenanceCard*>();
        QCOMPARE(c.sentBy([&] {
            withText<QPushButton>(card, "Ger\u00E4teinfo abfragen")->click();
            withText<QPushButton>(card, "Hilfe (get help)")->click();
        }),
                 QStringList({"get modelnum", "get serialnum", "get partnum", "get fwversion",
                              "get help"}));
    }

    void volumeRow()
    {
        Connected c;
        auto* row = c.view.findChild<AudioCard*>()->findChild<ValueSlider*>();
        auto* slider = row->findChild<QSlider*>();
        auto* figures = row->findChild<QLabel*>("figures");
        QCOMPARE(c.sentBy([&] {
            slider->setSliderDown(true);
            slider->setSliderPosition(60);
            slider->setSliderDown(false);
        }),
                 QStringList{"set volume=60"});
        QCOMPARE(c.sentBy([&] { withText<QPushButton>(&c.view, "25")->click(); }),
                 QStringList{"set volume=25"});
        QCOMPARE(c.sentBy([&] { row->findChildren<QPushButton*>().constFirst()->click(); }),
                 QStringList{"set volume-5"});
        QCOMPARE(figures->text(), QStringLiteral("20"));
        // Mute dims the figures.
        auto* mute = withText<QPushButton>(&c.view, "Stumm");
        QCOMPARE(c.commandOf([&] { mute->click(); }), QStringLiteral("set mute=on"));
        QVERIFY(mute->isChecked() && row->isDimmed());
    }

    void pollingControlsAreBoundToTheSettings()
    {
        UiFixture f;
        ReportingCard card(*f.controller); // alone: in the dashboard it is inert until connected
        auto* interval = card.findChild<Stepper*>();
        SwitchButton* polling = card.findChildren<SwitchButton*>().at(1);
        QCOMPARE(interval->text(), QStringLiteral("alle 5 s"));
        interval->stepUp();
        QCOMPARE(f.controller->pollingInterval(), 6.0);
        f.controller->setPollingInterval(60);
        QCOMPARE(interval->text(), QStringLiteral("alle 60 s"));
        interval->stepUp();
        QCOMPARE(f.controller->pollingInterval(), 60.0);

        polling->click();
        QVERIFY(!f.controller->pollingEnabled() && !interval->isEnabled());
        f.controller->setPollingEnabled(true);
        QVERIFY(polling->isChecked() && interval->isEnabled());
    }
};

QTEST_MAIN(DashboardTest)
#include "test_dashboard.moc"

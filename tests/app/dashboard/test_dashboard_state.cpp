// What the dashboard shows for a given state of the controller, and which controls react.
#include "app/UiFixture.h"
#include "app/dashboard/DashboardView.h"
#include "app/dashboard/InputCard.h"
#include "app/dashboard/NotConnectedHint.h"
#include "app/dashboard/PowerCard.h"
#include "app/dashboard/ReportingCard.h"
#include "app/dashboard/StatusChip.h"
#include "app/widgets/Stepper.h"
#include "app/widgets/SwitchButton.h"
#include "app/widgets/TileButton.h"

#include <QGraphicsEffect>
#include <QLabel>

namespace {

// The titles of the shown tiles (or of the active ones only).
QStringList tileTitles(const QWidget* card, bool activeOnly = false)
{
    QStringList titles;
    for (const TileButton* tile : card->findChildren<TileButton*>()) {
        if (!tile->isHidden() && (!activeOnly || tile->isActive()))
            titles.append(tile->title());
    }
    return titles;
}

QStringList chipValues(const DashboardView& view)
{
    QStringList values;
    for (const StatusChip* chip : view.findChildren<StatusChip*>())
        values.append(chip->value());
    return values;
}

QString labelText(const QWidget* parent, const QString& name)
{
    return child<QLabel>(parent, name)->text();
}

} // namespace

class DashboardStateTest : public QObject {
    Q_OBJECT

private slots:
    void headerBeforeAnyDeviceInformation_data()
    {
        QTest::addColumn<bool>("rx");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("powerTiles");
        QTest::newRow("QX") << false << "SMART Board QX"
                            << QStringList{"Ein", "Bereit", "Standby (Netzwerk)", "Energiesparen",
                                           "Aus"};
        QTest::newRow("RX") << true << "SMART Board RX"
                            << QStringList{"Ein", "Standby (Netzwerk)", "Aus"};
    }
    void headerBeforeAnyDeviceInformation()
    {
        QFETCH(bool, rx);
        QFETCH(QString, title);
        QFETCH(QStringList, powerTiles);
        UiFixture f;
        DashboardView view(*f.controller);
        f.controller->setSeries(rx ? DisplaySeries::rx : DisplaySeries::qx); // the view follows
        QCOMPARE(labelText(&view, "displayName"), title);
        QCOMPARE(tileTitles(view.findChild<PowerCard*>()), powerTiles);
        for (const char* pair : {"serialNumber", "partNumber", "firmware"})
            QCOMPARE(labelText(&view, pair), QStringLiteral("\u2013"));
        QCOMPARE(chipValues(view), QStringList({"\u2013", "\u2013", "0"}));

        f.controller->apply("modelnum", "SBID-QX286", false);
        f.controller->apply("serialnum", "SIM0000001", false);
        f.controller->apply("fwversion", "1.07.0021", false);
        QCOMPARE(labelText(&view, "displayName"), QStringLiteral("SBID-QX286"));
        QCOMPARE(labelText(&view, "serialNumber"), QStringLiteral("SIM0000001"));
        QCOMPARE(labelText(&view, "partNumber"), QStringLiteral("\u2013"));
        QCOMPARE(labelText(&view, "firmware"), QStringLiteral("1.07.0021"));
    }

    void chipsFollowTheReportedState_data()
    {
        QTest::addColumn<QStringList>("reports"); // name=value, applied in order
        QTest::addColumn<QStringList>("chips");
        QTest::newRow("on, HDMI 2, volume 40")
            << QStringList{"powerstate=on", "input=hdmi2", "volume=40"}
            << QStringList{"Ein", "HDMI 2", "40"};
        QTest::newRow("muted") << QStringList{"volume=40", "mute=on"}
                               << QStringList{"\u2013", "\u2013", "Stumm"};
        QTest::newRow("no signal")
            << QStringList{"input=none"} << QStringList{"\u2013", "Kein Signal", "0"};
        QTest::newRow("firmware update")
            << QStringList{"powerstate=updateon"} << QStringList{"Firmware-Update", "\u2013", "0"};
    }
    void chipsFollowTheReportedState()
    {
        QFETCH(QStringList, reports);
        QFETCH(QStringList, chips);
        UiFixture f;
        DashboardView view(*f.controller);
        for (const QString& report : reports)
            f.controller->apply(report.section('=', 0, 0), report.section('=', 1), false);
        QCOMPARE(chipValues(view), chips);
    }

    void activePowerTile_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QStringList>("active");
        QTest::newRow("nothing reported") << QString() << QStringList();
        QTest::newRow("standby") << "standby" << QStringList{"Standby (Netzwerk)"};
        QTest::newRow("firmware update marks none") << "updateon" << QStringList();
    }
    void activePowerTile()
    {
        QFETCH(QString, reported);
        QFETCH(QStringList, active);
        UiFixture f;
        DashboardView view(*f.controller);
        if (!reported.isEmpty())
            f.controller->apply("powerstate", reported, false);
        QCOMPARE(tileTitles(view.findChild<PowerCard*>(), true), active);
    }

    void inputTilesAndTheNoSignalWarning_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QStringList>("active");
        QTest::addColumn<bool>("warning");
        QTest::newRow("never reported") << QString() << QStringList() << false;
        QTest::newRow("HDMI 1") << "hdmi1" << QStringList{"HDMI 1"} << false;
        QTest::newRow("no signal") << "none" << QStringList() << true;
    }
    void inputTilesAndTheNoSignalWarning()
    {
        QFETCH(QString, reported);
        QFETCH(QStringList, active);
        QFETCH(bool, warning);
        UiFixture f;
        DashboardView view(*f.controller);
        auto* card = view.findChild<InputCard*>();
        QCOMPARE(tileTitles(card).size(), 9);
        if (!reported.isEmpty())
            f.controller->apply("input", reported, false);
        QCOMPARE(tileTitles(card, true), active);
        QLabel* text = nullptr;
        for (QLabel* label : card->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("Display meldet: kein Signal an der gew\u00E4hlten "
                                                "Quelle"))
                text = label;
        }
        QVERIFY(text);
        QCOMPARE(text->isVisibleTo(card), warning);
    }

    void disconnectedDashboardIsDimmedAndInert()
    {
        UiFixture f;
        DashboardView view(*f.controller);
        view.resize(900, 700);
        view.show();
        auto* hint = view.findChild<NotConnectedHint*>();
        auto* power = view.findChild<PowerCard*>();
        QVERIFY(hint->isVisibleTo(&view));
        QVERIFY(!power->isEnabled());
        QVERIFY(power->parentWidget()->graphicsEffect()->isEnabled());

        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QVERIFY(!hint->isVisibleTo(&view));
        QVERIFY(power->isEnabled());
        QVERIFY(!power->parentWidget()->graphicsEffect()->isEnabled());

        f.controller->disconnectLine();
        QVERIFY(hint->isVisibleTo(&view));
        QVERIFY(!power->isEnabled());
    }

    void pollingControlsAreBoundToTheSettings()
    {
        UiFixture f;
        // The card alone: inside the dashboard it is inert until connected.
        ReportingCard card(*f.controller);
        auto* interval = card.findChild<Stepper*>();
        const QList<SwitchButton*> switches = card.findChildren<SwitchButton*>();
        QCOMPARE(switches.size(), 2);
        SwitchButton* polling = switches.at(1);
        QCOMPARE(interval->text(), QStringLiteral("alle 5 s"));
        QVERIFY(interval->isEnabled());

        interval->stepUp();
        QCOMPARE(f.controller->pollingInterval(), 6.0);
        f.controller->setPollingInterval(60);
        QCOMPARE(interval->text(), QStringLiteral("alle 60 s"));
        interval->stepUp();
        QCOMPARE(f.controller->pollingInterval(), 60.0);

        polling->click();
        QVERIFY(!f.controller->pollingEnabled());
        QVERIFY(!interval->isEnabled());
        f.controller->setPollingEnabled(true);
        QVERIFY(polling->isChecked());
        QVERIFY(interval->isEnabled());
    }
};

QTEST_MAIN(DashboardStateTest)
#include "test_dashboard_state.moc"

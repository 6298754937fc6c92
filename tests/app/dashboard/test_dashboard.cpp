// What the dashboard shows of the display's values, and what its controls send. The display is
// a fake line: values arrive through receive(), commands are read off the line.
#include "app/Style.h"
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
    // The command an action sent (the controller may ask for the new value after it).
    QString commandOf(const std::function<void()>& action) { return sentBy(action).value(0); }
};

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void headerBeforeAndAfterDeviceInformation()
    {
        Connected c; // a QX until told otherwise
        c.controller->setSeries(DisplaySeries::rx);
        c.clock->settle(); // new tiles show on the next turn of the event loop
        QCOMPARE(text(c.view, "displayName"), QStringLiteral("SMART Board RX"));
        QCOMPARE(tiles(c.view.findChild<PowerCard*>()),
                 QStringList({"Ein", "Standby (Netzwerk)", "Aus"}));
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
        QTest::addColumn<QString>("chips");  // power, input, volume
        QTest::addColumn<QString>("active"); // tiles of the power and input cards
        QTest::addColumn<bool>("noSignal");
        const std::tuple<const char*, const char*, const char*, const char*, bool> rows[] = {
            {"nothing yet", "", "\u2013|\u2013|0", "", false},
            {"on, HDMI 2, 40", "powerstate=on\r\ninput=hdmi2\r\nvolume=40", "Ein|HDMI 2|40",
             "Ein|HDMI 2", false},
            {"muted", "volume=40\r\nmute=on", "\u2013|\u2013|Stumm", "", false},
            {"no signal, only for none", "input=none", "\u2013|Kein Signal|0", "", true},
            {"update marks no tile", "powerstate=updateon", "Firmware-Update|\u2013|0", "", false},
        };
        for (const auto& [tag, reports, chips, active, noSignal] : rows)
            QTest::newRow(tag) << QByteArray(reports) << QString(chips) << QString(active)
                               << noSignal;
    }
    void reportedStateIsShown()
    {
        QFETCH(QByteArray, reports);
        QFETCH(QString, chips);
        QFETCH(QString, active);
        QFETCH(bool, noSignal);
        Connected c;
        const QStringList sent = c.sentBy([&] { c.lines.receive("\r\n" + reports + "\r\n"); });
        QCOMPARE(sent, QStringList()); // showing a value asks for nothing
        QStringList values;
        for (const StatusChip* chip : c.view.findChildren<StatusChip*>())
            values.append(chip->value());
        QCOMPARE(values.join('|'), chips);
        auto* input = c.view.findChild<InputCard*>();
        QCOMPARE((tiles(c.view.findChild<PowerCard*>(), true) + tiles(input, true)).join('|'),
                 active);
        QCOMPARE(withText<QLabel>(input, "Display meldet: kein Signal an der gew\u00E4hlten Quelle")
                     ->isVisibleTo(input),
                 noSignal);
    }

    // Faded, but in the cards' own colours: not the disabled palette under the fading.
    void withoutConnectionTheCardsAreFadedAndInert()
    {
        UiFixture f;
        DashboardView view(*f.controller);
        view.show();
        auto* tile = view.findChild<TileButton*>();
        QWidget* grid = view.findChild<PowerCard*>()->parentWidget();
        f.controller->setPollingEnabled(false); // the interval is off by itself, and looks it
        for (const bool connected : {false, true, false}) {
            if (connected)
                f.connect();
            else
                f.controller->disconnectLine();
            QCOMPARE(view.findChild<NotConnectedHint*>()->isVisibleTo(&view), !connected);
            QCOMPARE(tile->isEnabled(), connected);
            QCOMPARE(grid->graphicsEffect()->isEnabled(), !connected);
            QVERIFY(!Style::looksDisabled(tile));
            QCOMPARE(tile->palette().color(QPalette::Disabled, QPalette::WindowText) ==
                         tile->palette().color(QPalette::Active, QPalette::WindowText),
                     !connected);
            QVERIFY(Style::looksDisabled(view.findChild<Stepper*>()));
        }
    }

    void irreversiblePowerStatesAskFirst()
    {
        Connected c;
        auto* card = c.view.findChild<PowerCard*>();
        for (const auto& [tile, confirm, command] :
             {std::tuple{"Aus", false, ""}, {"Energiesparen", true, "set powerstate=powersave"}}) {
            QVERIFY(c.sentBy([&] { withText<TileButton>(card, tile)->click(); }).isEmpty());
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box && card->pendingConfirmation());
            QCOMPARE(box->text(), QString("Display auf \u201E%1\u201C schalten?").arg(tile));
            QVERIFY(box->informativeText().startsWith(QString("Aus \u201E%1\u201C").arg(tile)));
            const QString sent = c.commandOf([&] {
                if (confirm)
                    withText<QPushButton>(box, QString("Trotzdem \u201E%1\u201C").arg(tile))
                        ->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QCOMPARE(card->pendingConfirmation(), std::nullopt);
            QTRY_VERIFY(!box);
            QCOMPARE(sent, QString(command));
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
        QVERIFY(!reset->isEnabled());
        c.lines.receive("\r\nserialnum=SIM0000001\r\n");
        for (const char* answer : {"Abbrechen", "Zur\u00FCcksetzen"}) {
            reset->click();
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box && card->isConfirmingReset());
            QVERIFY(box->informativeText().contains("set factoryreset=SIM0000001"));
            const QStringList sent = c.sentBy([&] { withText<QPushButton>(box, answer)->click(); });
            QVERIFY(!card->isConfirmingReset());
            QCOMPARE(sent.contains("set factoryreset=SIM0000001"), answer[0] == 'Z');
        }
    }

    void freeCommandsAndQueries()
    {
        Connected c;
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* field = card->findChild<QLineEdit*>();
        auto* send = withText<QPushButton>(card, "Senden");
        // Typed, then the button or Return; blanks ask for a fresh prompt; empty sends nothing.
        const std::tuple<const char*, bool, QStringList> rows[] = {
            {"get volume", false, {"get volume"}},
            {"   ", true, {""}},
            {"", true, {}},
        };
        for (const auto& [typed, returnKey, sent] : rows) {
            QTest::keyClicks(field, typed);
            QCOMPARE(send->isEnabled(), !QString(typed).isEmpty());
            QCOMPARE(c.sentBy([&] {
                if (returnKey)
                    QTest::keyClick(field, Qt::Key_Return);
                else
                    send->click();
            }),
                     sent);
            QVERIFY(field->text().isEmpty() && !send->isEnabled());
        }
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
        // The slider itself: test_input turns it by the wheel.
        auto* row = c.view.findChild<AudioCard*>()->findChild<ValueSlider*>();
        auto* figures = row->findChild<QLabel*>("figures");
        const QList<QPushButton*> steps = row->findChildren<QPushButton*>();
        QCOMPARE(c.sentBy([&] { withText<QPushButton>(&c.view, "25")->click(); }),
                 QStringList{"set volume=25"});
        QCOMPARE(c.sentBy([&] { steps.first()->click(); }), QStringList{"set volume-5"});
        QCOMPARE(figures->text(), QStringLiteral("20"));
        QCOMPARE(c.sentBy([&] { steps.last()->click(); }), QStringList{"set volume+5"});
        // Mute dims the figures.
        auto* mute = withText<QPushButton>(&c.view, "Stumm");
        QCOMPARE(c.commandOf([&] { mute->click(); }), QStringLiteral("set mute=on"));
        QVERIFY(mute->isChecked());
        QCOMPARE(figures->palette().color(QPalette::WindowText), Style::secondaryText(figures));
    }

    void pollingControlsAreBoundToTheSettings()
    {
        UiFixture f;
        ReportingCard card(*f.controller); // alone: in the dashboard it is inert until connected
        auto* interval = card.findChild<Stepper*>();
        SwitchButton* polling = card.findChildren<SwitchButton*>().at(1);
        QCOMPARE(interval->text(), QStringLiteral("alle 5 s")); // test_input turns it by the wheel
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

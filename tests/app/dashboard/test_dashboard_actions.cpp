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
#include <QTest>

namespace {

constexpr int waitMs = 10000;
using Kind = LogEntry::Kind;

QStringList sent(const DisplayController& controller)
{
    QStringList texts;
    for (const LogEntry& entry : controller.log()) {
        if (entry.kind == Kind::tx)
            texts.append(entry.text);
    }
    return texts;
}

// Sent, or still waiting in the queue: either way the command left the dashboard.
bool handedOn(const DisplayController& controller, const QString& command)
{
    for (const SmartCommand& queued : controller.queue()) {
        if (queued.text == command)
            return true;
    }
    return (controller.current() && controller.current()->text == command) ||
           sent(controller).contains(command);
}

TileButton* tile(const QWidget* parent, const QString& title)
{
    for (TileButton* candidate : parent->findChildren<TileButton*>()) {
        if (candidate->title() == title && !candidate->isHidden())
            return candidate;
    }
    qFatal("no tile %s", qPrintable(title));
}

QPushButton* button(const QWidget* parent, const QString& text)
{
    for (QPushButton* candidate : parent->findChildren<QPushButton*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    qFatal("no button %s", qPrintable(text));
}

// The one open confirmation; the test ends when there is none.
QMessageBox* openDialog(const QWidget* view)
{
    QMessageBox* found = nullptr;
    for (QMessageBox* box : view->findChildren<QMessageBox*>()) {
        if (box->isVisible())
            found = box;
    }
    return found;
}

struct Connected {
    UiFixture f;
    DashboardView view{*f.controller};

    bool start()
    {
        view.resize(900, 800);
        view.show();
        return f.connectTo(SerialPortInfo::smartSimulatorPath) &&
               QTest::qWaitFor([&] { return !f.controller->serialNumber().isEmpty(); }, waitMs);
    }
};

} // namespace

class DashboardActionsTest : public QObject {
    Q_OBJECT

private slots:
    void irreversiblePowerStatesAskFirst_data()
    {
        QTest::addColumn<QString>("tileTitle");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("confirm");
        const QString saveMessage = QStringLiteral(
            "Aus \u201EEnergiesparen\u201C weckt nur der Netzschalter am Ger\u00E4t \u2013 nicht "
            "RS-232.");
        const QString offMessage = QStringLiteral(
            "Aus \u201EAus\u201C l\u00E4sst sich das Display nur am Netzschalter des Ger\u00E4ts "
            "wieder einschalten.");
        QTest::newRow("off, cancelled") << "Aus"
                                        << "off" << offMessage << false;
        QTest::newRow("off, confirmed") << "Aus"
                                        << "off" << offMessage << true;
        QTest::newRow("energy saving, cancelled") << "Energiesparen"
                                                  << "powersave" << saveMessage << false;
        QTest::newRow("energy saving, confirmed") << "Energiesparen"
                                                  << "powersave" << saveMessage << true;
    }
    void irreversiblePowerStatesAskFirst()
    {
        QFETCH(QString, tileTitle);
        QFETCH(QString, raw);
        QFETCH(QString, message);
        QFETCH(bool, confirm);
        Connected c;
        QVERIFY(c.start());
        const QString command = "set powerstate=" + raw;
        auto* card = c.view.findChild<PowerCard*>();

        tile(card, tileTitle)->click();
        QVERIFY(!handedOn(*c.f.controller, command));
        QPointer<QMessageBox> box = openDialog(&c.view);
        QVERIFY(box);
        QCOMPARE(card->pendingConfirmation().has_value(), true);
        QCOMPARE(box->text(), "Display auf \u201E" + tileTitle + "\u201C schalten?");
        QCOMPARE(box->informativeText(), message);
        QPushButton* action = button(box, "Trotzdem \u201E" + tileTitle + "\u201C");

        if (confirm) {
            action->click();
            QTRY_VERIFY_WITH_TIMEOUT(sent(*c.f.controller).contains(command), waitMs);
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
            QVERIFY(!handedOn(*c.f.controller, command));
        }
        QCOMPARE(card->pendingConfirmation(), std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(!box, waitMs);
        if (!confirm) // the dialog is gone and still nothing went out
            QVERIFY(!handedOn(*c.f.controller, command));
    }

    void otherPowerStatesSendAtOnce()
    {
        Connected c;
        QVERIFY(c.start());
        tile(c.view.findChild<PowerCard*>(), "Standby (Netzwerk)")->click();
        QVERIFY(!openDialog(&c.view));
        QVERIFY(handedOn(*c.f.controller, "set powerstate=standby"));
        QTRY_COMPARE_WITH_TIMEOUT(c.f.controller->power(), std::optional(PowerState::standby),
                                  waitMs);
    }

    void factoryResetNeedsTheSerialNumberAndConfirmation_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("cancelled") << false;
        QTest::newRow("confirmed") << true;
    }
    void factoryResetNeedsTheSerialNumberAndConfirmation()
    {
        QFETCH(bool, confirm);
        UiFixture f;
        DashboardView view(*f.controller);
        view.resize(900, 800);
        view.show();
        auto* card = view.findChild<MaintenanceCard*>();
        QPushButton* reset = button(card, "Werkseinstellungen \u2026");
        QCOMPARE(reset->toolTip(), QStringLiteral("set factoryreset=<Seriennummer>"));
        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        // Connected, but the serial number has not been read yet: still disabled.
        if (f.controller->serialNumber().isEmpty())
            QVERIFY(!reset->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!f.controller->serialNumber().isEmpty(), waitMs);
        QVERIFY(reset->isEnabled());
        const QString serial = f.controller->serialNumber();
        const QString command = "set factoryreset=" + serial;

        reset->click();
        QVERIFY(card->isConfirmingReset());
        QPointer<QMessageBox> box = openDialog(&view);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Display auf Werkseinstellungen zur\u00FCcksetzen?"));
        QCOMPARE(box->informativeText(),
                 "Sendet \u201Eset factoryreset=" + serial +
                     "\u201C. Alle Einstellungen des Displays gehen verloren.");
        QVERIFY(!handedOn(*f.controller, command));

        if (confirm) {
            button(box, "Zur\u00FCcksetzen")->click();
            QTRY_VERIFY_WITH_TIMEOUT(sent(*f.controller).contains(command), waitMs);
        } else {
            button(box, "Abbrechen")->click();
            QVERIFY(!handedOn(*f.controller, command));
        }
        QVERIFY(!card->isConfirmingReset());
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
        QTRY_VERIFY_WITH_TIMEOUT(c.f.controller->queue().isEmpty() && !c.f.controller->current(),
                                 waitMs);
        auto* card = c.view.findChild<MaintenanceCard*>();
        auto* field = card->findChild<QLineEdit*>();
        QPushButton* send = button(card, "Senden");
        QVERIFY(!send->isEnabled());
        const qsizetype before = sent(*c.f.controller).size();

        QTest::keyClicks(field, typed);
        QVERIFY(send->isEnabled());
        if (returnKey)
            QTest::keyClick(field, Qt::Key_Return);
        else
            send->click();
        QCOMPARE(field->text(), QString());
        QVERIFY(!send->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(sent(*c.f.controller).mid(before).contains(expected), waitMs);

        // An empty field sends nothing, also by Return.
        const qsizetype after = sent(*c.f.controller).size();
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(c.f.controller->queue().isEmpty());
        QCOMPARE(sent(*c.f.controller).size(), after);
    }

    void infoAndHelpQueries()
    {
        Connected c;
        QVERIFY(c.start());
        QTRY_VERIFY_WITH_TIMEOUT(c.f.controller->queue().isEmpty() && !c.f.controller->current(),
                                 waitMs);
        const qsizetype before = sent(*c.f.controller).size();
        auto* card = c.view.findChild<MaintenanceCard*>();
        button(card, "Ger\u00E4teinfo abfragen")->click();
        button(card, "Hilfe (get help)")->click();
        const QStringList expected{"get modelnum", "get serialnum", "get partnum", "get fwversion",
                                   "get help"};
        QTRY_COMPARE_WITH_TIMEOUT(sent(*c.f.controller).mid(before, 5), expected, waitMs);
    }

    void volumeSliderAndSteps()
    {
        Connected c;
        QVERIFY(c.start());
        QTRY_COMPARE_WITH_TIMEOUT(c.f.controller->volume(), 30.0, waitMs);
        auto* card = c.view.findChild<AudioCard*>();
        auto* row = card->findChild<ValueSlider*>();
        auto* slider = row->findChild<QSlider*>();
        auto* figures = row->findChild<QLabel*>("figures");

        // Dragging from 30 to 60 shows the drag position at once and sets the volume.
        slider->setSliderDown(true);
        slider->setSliderPosition(60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        QCOMPARE(c.f.controller->volume(), 60.0);
        slider->setSliderDown(false);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        QTRY_VERIFY_WITH_TIMEOUT(sent(*c.f.controller).contains("set volume=60"), waitMs);

        // "−" at 3 sends the full step and shows the limited value.
        button(card, "0")->click();
        QCOMPARE(figures->text(), QStringLiteral("0"));
        c.f.controller->setVolume(3);
        QCOMPARE(figures->text(), QStringLiteral("3"));
        row->findChildren<QPushButton*>().constFirst()->click();
        QCOMPARE(figures->text(), QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(sent(*c.f.controller).contains("set volume-5"), waitMs);

        // Mute dims the figures and follows the controller.
        auto* mute = button(card, "Stumm");
        mute->click();
        QVERIFY(c.f.controller->mute());
        QVERIFY(mute->isChecked());
        QVERIFY(row->isDimmed());
        QTRY_VERIFY_WITH_TIMEOUT(sent(*c.f.controller).contains("set mute=on"), waitMs);
    }
};

QTEST_MAIN(DashboardActionsTest)
#include "test_dashboard_actions.moc"

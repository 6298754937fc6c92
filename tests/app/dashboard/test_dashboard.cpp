// The dashboard's values and controls on a fake line; the grid, flow and slider it is built of.
#include "app/UiFixture.h"
#include "app/dashboard/AudioCard.h"
#include "app/dashboard/CommandStatus.h"
#include "app/dashboard/DashboardView.h"
#include "app/dashboard/InputCard.h"
#include "app/dashboard/MaintenanceCard.h"
#include "app/dashboard/NotConnectedHint.h"
#include "app/dashboard/PowerCard.h"
#include "app/dashboard/ReportingCard.h"
#include "app/dashboard/StatusChip.h"
#include "app/style/Style.h"
#include "app/widgets/AdaptiveGridLayout.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/StatusLine.h"
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
#include <QSignalSpy>
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

QString text(const QWidget& view, const QString& name)
{
    return child<QLabel>(&view, name)->text();
}

// On a display that answers only with its prompt, and no poll among what the controls send.
struct Connected : With<DashboardView> {
    Connected()
    {
        view.resize(900, 800);
        setPolling(false, 5);
        connect(promptOnly);
    }
    // The command an action sent (the controller may ask for the new value after it).
    QString commandOf(const std::function<void()>& action) { return sentBy(action).value(0); }
};

// QWidget has no settable size hint; a subclass gives one.
struct Sized : QWidget {
    using QWidget::QWidget;
    QSize sizeHint() const override { return hint; }
    QSize minimumSizeHint() const override { return {10, hint.height()}; }
    QSize hint;
};

template <typename Layout>
QList<QWidget*> fill(QWidget& host, Layout* layout, const QList<QSize>& hints)
{
    QList<QWidget*> items;
    for (const QSize& hint : hints) {
        auto* item = new Sized(&host);
        item->hint = hint;
        layout->addWidget(items.emplaceBack(item));
    }
    return items;
}

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void headerBeforeAndAfterDeviceInformation()
    {
        Connected c; // a QX until told otherwise
        c.controller->display().setSeries(DisplaySeries::rx);
        c.clock->settle(); // new tiles show on the next turn of the event loop
        QCOMPARE(text(c.view, "displayName"), QStringLiteral("SMART Board RX"));
        QCOMPARE(tiles(c.view.findChild<PowerCard*>()),
                 QStringList({"Ein", "Standby (Netzwerk)", "Aus"}));
        c.lines.receive("\r\nmodelnum=SBID-QX286\r\nserialnum=SIM0000001\r\nfwversion=1.07\r\n");
        QCOMPARE(text(c.view, "displayName"), QStringLiteral("SBID-QX286"));
        QCOMPARE(text(c.view, "serialNumber"), QStringLiteral("SIM0000001"));
        QCOMPARE(text(c.view, "partNumber"), QStringLiteral("–"));
        QCOMPARE(text(c.view, "firmware"), QStringLiteral("1.07"));
    }

    // Reports show in the chips (power, input, volume) and the active tiles of the power and
    // input cards, and ask for nothing.
    void reportedStateIsShown()
    {
        const std::tuple<const char*, const char*, const char*, bool> rows[] = {
            // reports, chips, active tiles, "no signal" shown
            {"powerstate=on\r\ninput=hdmi2\r\nvolume=40", "Ein|HDMI 2|40", "Ein|HDMI 2", false},
            {"volume=40\r\nmute=on", "–|–|Stumm", "", false},
            {"input=none", "–|Kein Signal|–", "", true},               // only for none
            {"powerstate=updateon", "Firmware-Update|–|–", "", false}, // an update marks no tile
        };
        for (const auto& [reports, chips, active, noSignal] : rows) {
            Connected c;
            QCOMPARE(c.sentBy([&] { c.lines.receive("\r\n" + QByteArray(reports) + "\r\n"); }),
                     QStringList());
            QStringList values;
            for (const StatusChip* chip : c.view.findChildren<StatusChip*>())
                values.append(chip->value());
            QCOMPARE(values.join('|'), chips);
            auto* input = c.view.findChild<InputCard*>();
            QCOMPARE((tiles(c.view.findChild<PowerCard*>(), true) + tiles(input, true)).join('|'),
                     active);
            QCOMPARE(withText<QLabel>(input, "Display meldet: kein Signal an der gewählten Quelle")
                         ->isVisibleTo(input),
                     noSignal);
        }
    }

    // A click shows at once on its control with a quiet busy mark; a refusal returns the
    // control to the display's value and says why, for a few seconds.
    void pendingFailedAndTheTruth()
    {
        With<DashboardView> f;
        f.connect([](const QString& line) {
            if (line.startsWith(u"set input"))
                return QByteArray("\r\ninvalid cmd\r\n>");
            if (line == u"get input")
                return QByteArray("\r\ninput=hdmi1\r\n>");
            return answerEverything(line);
        });
        auto* card = f.view.findChild<InputCard*>();
        auto* status = card->findChild<CommandStatus*>();
        QCOMPARE(tiles(card, true), QStringList{"HDMI 1"});
        QCOMPARE(status->text(), QString());
        for (TileButton* tile : card->findChildren<TileButton*>()) {
            if (tile->title() == "HDMI 2")
                tile->click();
        }
        QCOMPARE(tiles(card, true), QStringList{"HDMI 2"});
        QCOMPARE(status->text(), "Wird gesendet …");
        f.clock->advance(1);
        QCOMPARE(tiles(card, true), QStringList{"HDMI 1"});
        QVERIFY2(status->text().startsWith("Nicht übernommen: ") &&
                     status->text().contains("invalid cmd"),
                 qPrintable(status->text()));
        f.clock->advance(CommandStatus::failureShownSeconds + 1);
        QCOMPARE(status->text(), QString());
    }

    // What an earlier line told is only outlined, also on a new line that stays silent.
    void lastKnownIsOutlined()
    {
        Connected c;
        c.lines.receive("\r\npowerstate=on\r\ninput=hdmi2\r\nvolume=40\r\n");
        const auto stale = [&] {
            QStringList marked;
            for (const TileButton* tile : c.view.findChildren<TileButton*>()) {
                if (tile->isActive())
                    marked.append(tile->title() + (tile->isStale() ? "?" : ""));
            }
            return marked.join('|');
        };
        QCOMPARE(stale(), "Ein|HDMI 2");
        auto* volume = c.view.findChild<AudioCard*>()->findChild<QLabel*>("figures");
        const auto grey = [&] {
            return volume->palette().color(QPalette::WindowText) == Style::secondaryText(volume);
        };
        QVERIFY(!grey());
        c.controller->disconnectLine();
        QCOMPARE(stale(), "Ein?|HDMI 2?");
        QVERIFY(grey());
        c.lines.display = {};
        c.connectTo("/dev/ttyUSB1");
        c.clock->advance(1);
        QCOMPARE(stale(), "Ein?|HDMI 2?");
    }

    // The header says what makes a display look dead while it is not.
    void frozenOrShadedPictureInTheHeader()
    {
        const std::pair<const char*, const char*> rows[] = {
            {"videofreeze=on", "Bild eingefroren"},
            {"videofreeze=on\r\nscreenshade=on", "Bild eingefroren · Bildschirm abgedeckt"},
            {"videofreeze=off\r\nscreenshade=off", ""},
        };
        for (const auto& [reports, shown] : rows) {
            Connected c;
            c.lines.receive("\r\n" + QByteArray(reports) + "\r\n");
            auto* flags = child<StatusLine>(&c.view, "pictureFlags");
            QCOMPARE(flags->isVisibleTo(&c.view) ? flags->text() : QString(), QString(shown));
            QCOMPARE(flags->tone(), Style::Tone::orange);
            c.controller->disconnectLine(); // last known: said, but no longer a warning
            QCOMPARE(flags->tone(), Style::Tone::secondary);
        }
    }

    // The banner carries the cause for the chosen kind of line, and forgets a failure once
    // another port is chosen.
    void bannerTellsTheCause()
    {
        With<DashboardView> f;
        auto* hint = f.view.findChild<NotConnectedHint*>();
        const std::pair<const char*, const char*> advice[] = {
            {"/dev/ttyUSB0", "Links „Verbinden“. SMART QX/RX"},
            {"tcp://10.1.2.3:4001", "Links „Verbinden“: Bildwart erreicht das Display über das "
                                    "Gateway"},
            {"simulator://smart", "Links „Verbinden“ – der Simulator"},
        };
        for (const auto& [path, text] : advice) {
            f.controller->ports().select(path);
            QVERIFY2(hint->text().startsWith(text), qPrintable(hint->text()));
            QVERIFY(!hint->text().contains("USB-Seriell-Adapter anstecken"));
        }
        f.controller->ports().select("/dev/ttyUSB0");
        f.lines.openFailure = LineError::openFailed("/dev/ttyUSB0", EACCES);
        f.controller->connectLine();
        QCOMPARE(hint->headline(), "Verbindung fehlgeschlagen");
        QCOMPARE(hint->text(), f.controller->line().connection().reason.toHtmlEscaped());
        f.controller->ports().select("tcp://10.1.2.3:4001");
        QCOMPARE(hint->headline(), "Nicht verbunden");
    }

    // Faded, but in the cards' own colours: not the disabled palette under the fading.
    void withoutConnectionTheCardsAreFadedAndInert()
    {
        With<DashboardView> f;
        auto* tile = f.view.findChild<TileButton*>();
        QWidget* grid = f.view.findChild<PowerCard*>()->parentWidget();
        f.setPolling(false, 5); // the interval is off by itself, and looks it
        for (const bool connected : {false, true, false}) {
            if (connected)
                f.connect();
            else
                f.controller->disconnectLine();
            QCOMPARE(f.view.findChild<NotConnectedHint*>()->isVisibleTo(&f.view), !connected);
            QCOMPARE(tile->isEnabled(), connected);
            QCOMPARE(grid->graphicsEffect()->isEnabled(), !connected);
            QVERIFY(!Style::looksDisabled(tile));
            QCOMPARE(tile->palette().color(QPalette::Disabled, QPalette::WindowText) ==
                         tile->palette().color(QPalette::Active, QPalette::WindowText),
                     !connected);
            QVERIFY(Style::looksDisabled(f.view.findChild<Stepper*>()));
        }
    }

    void irreversibleActionsAskFirst()
    {
        Connected c;
        auto* card = c.view.findChild<PowerCard*>();
        for (const auto& [tile, confirm, command] :
             {std::tuple{"Aus", false, ""}, {"Energiesparen", true, "set powerstate=powersave"}}) {
            QVERIFY(c.sentBy([&] { withText<TileButton>(card, tile)->click(); }).isEmpty());
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box && card->pendingConfirmation());
            QCOMPARE(box->text(), QString("Display auf „%1“ schalten?").arg(tile));
            QVERIFY(box->informativeText().startsWith(QString("Aus „%1“").arg(tile)));
            const QString sent = c.commandOf([&] {
                if (confirm)
                    withText<QPushButton>(box, QString("Trotzdem „%1“").arg(tile))->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QCOMPARE(card->pendingConfirmation(), std::nullopt);
            QTRY_VERIFY(!box);
            QCOMPARE(sent, QString(command));
        }
        // Other states go out at once.
        QCOMPARE(c.commandOf([&] { withText<TileButton>(card, "Standby (Netzwerk)")->click(); }),
                 "set powerstate=standby");
        QVERIFY(!dialog(c.view));

        // A factory reset needs the serial number, and a yes.
        auto* maintenance = c.view.findChild<MaintenanceCard*>();
        auto* reset = withText<QPushButton>(maintenance, "Werkseinstellungen …");
        QVERIFY(!reset->isEnabled());
        c.lines.receive("\r\nserialnum=SIM0000001\r\n");
        for (const char* answer : {"Abbrechen", "Zurücksetzen"}) {
            reset->click();
            QPointer<QMessageBox> box = dialog(c.view);
            QVERIFY(box && maintenance->isConfirmingReset());
            QVERIFY(box->informativeText().contains("set factoryreset=SIM0000001"));
            const QStringList sent = c.sentBy([&] { withText<QPushButton>(box, answer)->click(); });
            QVERIFY(!maintenance->isConfirmingReset());
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
            withText<QPushButton>(card, "Geräteinfo abfragen")->click();
            withText<QPushButton>(card, "Hilfe (get help)")->click();
        }),
                 QStringList({"get modelnum", "get serialnum", "get partnum", "get fwversion",
                              "get help"}));
    }

    void volumeRow()
    {
        Connected c;
        c.connect(simulatedDisplay()); // it keeps the volume it is set to
        // The slider itself: test_main_window turns it by the wheel.
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
        // The presets wrap together, whatever the card's width.
        for (const int width : {700, 900, 1100, 1400}) {
            c.view.resize(width, 800);
            QCoreApplication::processEvents();
            const int top = withText<QPushButton>(&c.view, "0")->mapTo(&c.view, QPoint()).y();
            for (const char* preset : {"25", "50", "75"})
                QCOMPARE(withText<QPushButton>(&c.view, preset)->mapTo(&c.view, QPoint()).y(), top);
        }
    }

    void pollingControlsAreBoundToTheSettings()
    {
        UiFixture f;
        ReportingCard card(*f.controller); // alone: in the dashboard it is inert until connected
        auto* interval = card.findChild<Stepper*>();
        SwitchButton* polling = card.findChildren<SwitchButton*>().at(1);
        QCOMPARE(interval->text(), QStringLiteral("alle 5 s")); // the wheel: test_main_window
        f.setPolling(true, 60);
        QCOMPARE(interval->text(), QStringLiteral("alle 60 s"));
        interval->stepUp();
        QCOMPARE(f.controller->pump().polling().interval, 60.0);
        polling->click();
        QVERIFY(!f.controller->pump().polling().enabled && !interval->isEnabled());
        f.setPolling(true, f.controller->pump().polling().interval);
        QVERIFY(polling->isChecked() && interval->isEnabled());
    }

    // Cards: at least 330, at most 640 wide (then centred), 16 apart, row by row.
    void gridColumnsFollowTheWidth()
    {
        for (const auto& [width, columns, first] : {std::tuple{300, 1, QRect(0, 0, 300, 100)},
                                                    {670, 1, QRect(15, 0, 640, 100)},
                                                    {676, 2, QRect(0, 0, 330, 100)},
                                                    {1100, 3, QRect(0, 0, 356, 100)}}) {
            QWidget host;
            auto* grid = new AdaptiveGridLayout(330, 640, 16, &host);
            const QList<QWidget*> items = fill(host, grid, QList<QSize>(6, {200, 100}));
            grid->setGeometry(QRect(0, 0, width, 1000));
            QCOMPARE(items[0]->geometry(), first);
            QCOMPARE(items[columns]->geometry().topLeft(), QPoint(first.left(), 116));
            const int rows = (6 + columns - 1) / columns;
            QCOMPARE(grid->heightForWidth(width), rows * 100 + (rows - 1) * 16);
        }
    }

    void gridRowsKeepOrStretchHeightsAndSkipHiddenItems()
    {
        QWidget host;
        auto* grid = new AdaptiveGridLayout(100, 400, 10, &host);
        const QList<QWidget*> items = fill(host, grid, {{100, 80}, {100, 30}, {100, 5}, {100, 20}});
        items[2]->hide();
        grid->setGeometry(QRect(0, 0, 210, 500));                // two columns
        QCOMPARE(items[1]->geometry(), QRect(110, 0, 100, 30));  // cards keep their height
        QCOMPARE(items[3]->geometry().topLeft(), QPoint(0, 90)); // below the taller neighbour
        grid->setStretchToRowHeight(true);                       // tiles fill their row
        grid->setGeometry(QRect(0, 0, 210, 500));
        QCOMPARE(items[1]->height(), 80);
    }

    void flowWrapsCentresAndEndsWithTheLastItem()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 20, 8);
        const QList<QWidget*> items = fill(host, flow, {{100, 10}, {100, 30}, {100, 30}});
        flow->setLastItemTrailing(true);
        const std::tuple<int, int, QPoint> rows[] = {
            // width, height, where the last item goes
            {90, 86, {0, 56}},   // one per line, never wider than the line
            {300, 68, {0, 38}},  // the last wraps, at the start of its line
            {400, 30, {300, 0}}, // one line: the last at its end, the low item centred
        };
        for (const auto& [width, height, lastAt] : rows) {
            QCOMPARE(flow->heightForWidth(width), height);
            flow->setGeometry(QRect(0, 0, width, height));
            QCOMPARE(items[2]->geometry().topLeft(), lastAt);
            QVERIFY(items[2]->width() <= width);
        }
        QCOMPARE(items[0]->geometry().top(), 10);
    }

    void dragShowsThePositionAndAsksForEveryStep()
    {
        ValueSlider row("Lautstärke", 0, 100, "speaker.fill", "speaker.wave.3.fill");
        row.setValue(30);
        QSignalSpy requested(&row, &ValueSlider::valueRequested);
        auto* slider = row.findChild<QSlider*>();
        auto* figures = row.findChild<QLabel*>("figures");
        slider->setSliderDown(true);
        slider->setSliderPosition(45);
        slider->setSliderPosition(60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        QCOMPARE(requested.size(), 2);
        QCOMPARE(requested.at(1).at(0).toDouble(), 60.0);
        // The owner's value arriving during the drag does not move the slider under the hand.
        row.setValue(50);
        QCOMPARE(slider->value(), 60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        // After the drag the row follows the owner's value again, without asking for it.
        slider->setSliderDown(false);
        QCOMPARE(figures->text(), QStringLiteral("50"));
        QCOMPARE(slider->value(), 50);
        QCOMPARE(requested.size(), 2);
    }
};

QTEST_MAIN(DashboardTest)
#include "test_dashboard.moc"

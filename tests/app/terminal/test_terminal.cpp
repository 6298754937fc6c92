// The terminal pane: its log model, the input row, the log view and the bridge-plug bar.
#include "app/UiFixture.h"
#include "app/settings/TestOutputTab.h"
#include "app/terminal/LogModel.h"
#include "app/terminal/LogRowDelegate.h"
#include "app/terminal/LoopbackBadge.h"
#include "app/terminal/LoopbackBar.h"
#include "app/terminal/TerminalView.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/Stepper.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <ctime>

namespace {
// A model checked by Qt's model tester; invalid hex is the quickest log entry without a line.
struct Model : UiFixture {
    LogModel model{*controller};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    void append(int count, const QString& prefix = {})
    {
        for (int i = 0; i < count; ++i)
            controller->pump().sendHex(prefix + QString::number(i) + u'z');
    }
    QString body(int row) const { return model.index(row).data(LogModel::BodyRole).toString(); }
    bool consistent() const
    {
        for (int row = 0; row < model.rowCount(); ++row) {
            if (body(row) != controller->log().entries().at(row).text)
                return false;
        }
        return model.rowCount() == controller->log().entries().size();
    }
};

// The caption after the input line that tells what is appended.
QString lineEndingCaption(const TerminalView& view)
{
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text().startsWith("+ ") || label->text() == "ohne Zeilenende")
            return label->text();
    }
    return {};
}

} // namespace

class TerminalTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useGermanLocale();
        qputenv("TZ", "Europe/Berlin"); // an hour east of the entries' UTC
        tzset();
    }

    void batchesClearAndCap()
    {
        Model m;
        QSignalSpy inserted(&m.model, &LogModel::rowsInserted);
        QSignalSpy reset(&m.model, &LogModel::modelReset);
        m.append(100);
        QCOMPARE(m.model.rowCount(), 0); // not yet: the batch is still collecting
        QTRY_COMPARE(m.model.rowCount(), 100);
        QCOMPARE(inserted.size(), 1);
        QVERIFY(m.consistent());
        // A clear resets once and drops what waits for the next batch.
        m.append(1, "pending");
        m.controller->log().clear();
        QCOMPARE(reset.size(), 1);
        QCOMPARE(m.model.rowCount(), 0);
        m.model.flush();
        QCOMPARE(inserted.size(), 1);
        m.append(1, "after");
        QTRY_COMPARE(m.model.rowCount(), 1);
        QVERIFY(m.consistent());

        // The cap removes rows at the front, without a reset.
        QSignalSpy removed(&m.model, &LogModel::rowsRemoved);
        m.append(LogBuffer::capacity - 11);
        m.model.flush();
        m.append(50, "n"); // 40 of the shown rows go at the front, 50 come at the end
        // Until the batch comes, trimmed rows show nothing and no row reads a wrong entry.
        QCOMPARE(m.model.index(0).data(LogModel::BodyRole), QVariant());
        QCOMPARE(m.body(40), m.controller->log().entries().at(0).text);
        QTRY_COMPARE(m.model.rowCount(), LogBuffer::capacity);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().at(2).toInt(), 39);
        QCOMPARE(reset.size(), 1); // the clear's
        QVERIFY(m.consistent());

        // A burst larger than the cap between two batches: most entries never become rows.
        m.append(LogBuffer::capacity + 500, "b");
        m.model.flush();
        QVERIFY(m.consistent() && !m.model.hasPendingChanges());
    }

    void rowsShowHexAndLocalTime()
    {
        UiFixture f;
        f.connect(promptOnly);
        f.controller->log().clear();
        LogModel model(*f.controller);
        f.lines.receive("get\r");
        f.controller->pump().sendHex("4G");
        model.flush();
        QCOMPARE(model.index(0).data().toString(), "15:03:23,105 ← get␍");
        QCOMPARE(model.index(0).data(LogModel::IdRole).toULongLong(),
                 f.controller->log().entries().at(0).id);
        QSignalSpy changed(&model, &LogModel::dataChanged);
        f.controller->log().setShowHex(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.index(0).data(LogModel::BodyRole).toString(), "67 65 74 0D  │ get␍");
        // An entry without bytes keeps its text.
        QCOMPARE(model.index(1).data(LogModel::BodyRole).toString(), "Ungültige Hex-Eingabe: 4G");
        // Milliseconds once, also where the short format has seconds (C, as in containers).
        for (const auto& [name, shown] :
             {std::pair{"en_US", "2:03:22.105\u202FPM"}, {"C", "14:03:22.105"}}) {
            const QLocale locale(name);
            QString text = locale.toString(QTime(14, 3, 22, 105), LogModel::timeFormat(locale));
            text.replace(u' ', u'\u202F'); // CLDR versions differ in the blank before AM/PM
            QCOMPARE(text, QString(shown));
        }
    }

    // What goes out for what is typed, by the button or Return. Without a line, Return sends
    // all the same (the button waits for a connection): raw mode logs the refusal.
    void sendAction()
    {
        struct Row {
            bool connected, raw, hex, button;
            const char *typed, *logged;
            QByteArray bytes;
        };
        const Row rows[] = {
            {true, false, false, true, "  get volume ", "get volume", "get volume\r"},
            {true, true, false, false, " hallo ", " hallo ", " hallo \r"},
            {true, true, true, false, "48 61 0x6C", "Hal", "Hal"},
            {true, false, true, false, "get input", "get input", "get input\r"}, // hex: raw only
            {false, true, false, false, "41", "Nicht verbunden.", ""},
        };
        for (const Row& row : rows) {
            With<TerminalView> f;
            auto* send = withText<QPushButton>(&f.view, "Senden");
            auto* line = child<QLineEdit>(&f.view, "terminalInput");
            if (row.connected)
                f.connect(promptOnly);
            f.controller->pump().setRawMode(row.raw);
            f.view.setHexInput(row.hex);
            const qsizetype mark = f.lines.written.size();
            const qsizetype logged = f.controller->log().entries().size();
            QTest::keyClicks(line, row.typed);
            QCOMPARE(send->isEnabled(), row.connected);
            if (row.button)
                send->click();
            else
                QTest::keyClick(line, Qt::Key_Return);
            QVERIFY(f.view.command().isEmpty() && !send->isEnabled());
            f.clock->settle();
            QCOMPARE(f.lines.written.mid(mark), row.bytes);
            QCOMPARE(f.logTexts().mid(logged).value(0), QString(row.logged));
        }
    }

    // Prompt, placeholder, hex box and line-ending caption (after CR+LF is chosen) by mode.
    void inputRowFollowsTheMode()
    {
        const QString crlf = QStringLiteral("+ CR+LF (\\r\\n)");
        const std::tuple<bool, bool, const char*, const char*, QString> rows[] = {
            {false, true, ">", "Befehl an das Display, z. B. get powerstate", crlf}, // hex hidden
            {true, false, "»", "Text – geht ungefiltert auf die Schnittstelle", crlf},
            {true, true, "»", "Hex-Bytes, z. B. 48 61 6C 6C 6F 0D 0A", "ohne Zeilenende"},
        };
        for (const auto& [raw, hex, prompt, placeholder, caption] : rows) {
            With<TerminalView> f;
            QCOMPARE(lineEndingCaption(f.view), QStringLiteral("+ CR (\\r)"));
            f.view.setHexInput(hex);
            auto* mode = f.view.findChild<SegmentedControl*>();
            mode->setFocus();
            if (raw)
                QTest::keyClick(mode, Qt::Key_Right);
            QCOMPARE(f.controller->pump().rawMode(), raw);
            SerialSettings settings = f.controller->line().settings();
            settings.lineEnding = SerialSettings::LineEnding::crlf;
            f.controller->line().setSettings(settings);
            QVERIFY(withText<QLabel>(&f.view, prompt));
            QCOMPARE(child<QLineEdit>(&f.view, "terminalInput")->placeholderText(),
                     QString(placeholder));
            QCOMPARE(withText<QCheckBox>(&f.view, "Hex")->isVisibleTo(&f.view), raw);
            QCOMPARE(lineEndingCaption(f.view), caption);
            QCOMPARE(f.view.hexInput(), hex); // kept while hidden
        }
    }

    // The user's font size in a fixed-width face, CR and LF apart by more than a smudge; the
    // view follows the log only when asked to.
    void logView()
    {
        With<TerminalView> f;
        f.view.resize(800, 400);
        auto* list = f.view.findChild<QListView*>();
        auto* rows = qobject_cast<LogRowDelegate*>(list->itemDelegate());
        // By advance widths: fontconfig calls Noto Sans Mono proportional, yet it is not.
        const QFontMetrics metrics(rows->font());
        QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
        QCOMPARE(metrics.horizontalAdvance(u'.'), metrics.horizontalAdvance(u'M'));
        QCOMPARE(rows->font().pointSizeF(), QApplication::font().pointSizeF());
        const auto ink = [&](const QString& marker) {
            const QSize size(rows->lineEnds().width(marker), QFontMetrics(rows->font()).height());
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            rows->lineEnds().draw(painter, image.rect(), marker, Qt::black, Qt::black);
            return image;
        };
        const QImage cr = ink("␍");
        const QImage lf = ink("␊");
        int differing = 0;
        for (int y = 0; y < cr.height(); ++y) {
            for (int x = 0; x < cr.width(); ++x)
                differing += (qAlpha(cr.pixel(x, y)) > 128) != (qAlpha(lf.pixel(x, y)) > 128);
        }
        QVERIFY2(differing >= 12, qPrintable(QString::number(differing)));

        QScrollBar* bar = list->verticalScrollBar();
        const auto append = [&](int count) {
            for (int i = 0; i < count; ++i)
                f.controller->pump().sendHex(QString::number(i) + u'z');
            f.view.model()->flush();
            QCoreApplication::processEvents();
        };
        const auto topRow = [&] { return list->indexAt(QPoint(5, 2)).data(LogModel::IdRole); };
        append(300);
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());

        // Following rests while the user reads further up, also when the cap trims rows
        // above, and goes on once the user is back at the bottom.
        auto* follow = withText<QCheckBox>(&f.view, "Mitlaufen");
        bar->setValue(100);
        QVERIFY(f.view.followPaused());
        QCOMPARE(follow->text(), "Mitlaufen (angehalten)");
        const QVariant top = topRow();
        append(LogBuffer::capacity - 300 + 50);
        QTRY_COMPARE(topRow(), top);
        bar->setValue(bar->maximum());
        QVERIFY(!f.view.followPaused() && follow->text() == "Mitlaufen");
        append(1);
        QTRY_VERIFY(bar->value() == bar->maximum() && topRow() != top);
        // Switched off, new rows do not move the view; switched on, it goes to the bottom.
        f.view.setAutoScroll(false);
        bar->setValue(100);
        const QVariant still = topRow();
        append(1);
        QTRY_COMPARE(topRow(), still);
        f.view.setAutoScroll(true);
        QTRY_VERIFY(bar->value() == bar->maximum());
    }

    // Up and Down walk through what was sent, per mode and across starts; the display's words
    // are completed in SMART mode only.
    void historyAndCompletion()
    {
        With<TerminalView> f;
        f.connect(promptOnly);
        auto* line = child<QLineEdit>(&f.view, "terminalInput");
        for (const char* typed : {"get volume", "set mute=on", "get volume"}) {
            QTest::keyClicks(line, typed);
            QTest::keyClick(line, Qt::Key_Return);
        }
        QTest::keyClicks(line, "ge");
        line->completer()->popup()->hide(); // open, Up and Down choose among its lines
        const auto key = [&](Qt::Key k) {
            QTest::keyClick(line, k);
            return line->text();
        };
        // Newest first, each line once; the typed draft comes back below the newest.
        QCOMPARE(key(Qt::Key_Up), "get volume");
        QCOMPARE(key(Qt::Key_Up), "set mute=on");
        QCOMPARE(key(Qt::Key_Up), "set mute=on");
        QCOMPARE(key(Qt::Key_Down), "get volume");
        QCOMPARE(key(Qt::Key_Down), "ge");
        QCOMPARE(key(Qt::Key_Down), "ge");

        QCompleter* completer = line->completer();
        QVERIFY(completer);
        completer->setCompletionPrefix("SET MU");
        QStringList offered;
        for (int i = 0; completer->setCurrentRow(i); ++i)
            offered.append(completer->currentCompletion());
        QCOMPARE(offered, QStringList({"set mute=on", "set mute=off"}));
        completer->setCompletionPrefix("set inp");
        QCOMPARE(completer->completionCount(), 9);
        completer->setCompletionPrefix("set vol");
        QCOMPARE(completer->currentCompletion(), "set volume=");

        // Raw mode has its own history and no completion.
        f.controller->pump().setRawMode(true);
        line->clear();
        QCOMPARE(key(Qt::Key_Up), "");
        QVERIFY(!line->completer());
        QTest::keyClicks(line, "hallo");
        QTest::keyClick(line, Qt::Key_Return);

        TerminalView again(*f.controller, f.store.settings());
        auto* other = child<QLineEdit>(&again, "terminalInput");
        QTest::keyClick(other, Qt::Key_Up);
        QCOMPARE(other->text(), "hallo");
        f.controller->pump().setRawMode(false);
        other->clear();
        QTest::keyClick(other, Qt::Key_Up);
        QCOMPARE(other->text(), "get volume");
    }

    // Ctrl+F finds rows, newest first, with Return and Shift+Return onwards and back; the
    // context menu sends a line again and copies bytes as hex; "Leeren …" asks first.
    void searchMenuAndClear()
    {
        With<TerminalView> f;
        f.connect(promptOnly);
        f.controller->log().clear();
        for (const char* command : {"get volume", "get mute", "set volume=20"})
            f.controller->pump().send(command);
        f.clock->advance(1);
        f.view.model()->flush();
        auto* list = f.view.findChild<QListView*>();
        f.view.startSearch();
        auto* search = child<QLineEdit>(&f.view, "terminalSearch");
        QVERIFY(search->isVisible());
        QTest::keyClicks(search, "VOL");
        QCOMPARE(f.view.matchCount(), 2);
        const auto current = [&] { return list->currentIndex().data(LogModel::IdRole); };
        const QVariant newest = current();
        QVERIFY(withText<QLabel>(&f.view, "2 von 2"));
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(current() != newest && withText<QLabel>(&f.view, "1 von 2"));
        QTest::keyClick(search, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(current(), newest);
        // A new matching row counts without moving the shown match.
        f.controller->pump().send("get volume");
        f.clock->advance(1);
        f.view.model()->flush();
        QVERIFY(current() == newest && withText<QLabel>(&f.view, "2 von 3"));
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!search->isVisible());

        // The context menu on the first command: again onto the line, and as hex.
        const auto choose = [&](const QModelIndex& row, const QString& item) {
            QTimer::singleShot(0, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu);
                for (QAction* action : menu->actions()) {
                    if (action->text() == item && action->isEnabled())
                        action->trigger();
                }
                menu->close();
            });
            emit list->customContextMenuRequested(list->visualRect(row).center());
        };
        const QModelIndex first = list->model()->index(0, 0);
        QCOMPARE(first.data(LogModel::TextRole).toString(), "get volume");
        const qsizetype mark = f.lines.written.size();
        choose(first, "Zeile erneut senden");
        f.clock->settle();
        QCOMPARE(f.lines.written.mid(mark), "get volume\r");
        choose(first, "Als Hex kopieren");
        QCOMPARE(QApplication::clipboard()->text(), "67 65 74 20 76 6F 6C 75 6D 65 0D");

        // "Leeren …" asks, and only a yes clears.
        for (const bool yes : {false, true}) {
            withText<QPushButton>(&f.view, "Leeren …")->click();
            QMessageBox* box = dialog(f.view);
            const QString entries = QString::number(f.controller->log().entries().size());
            QVERIFY(box && box->informativeText().startsWith(entries + " Einträge werden"));
            withText<QPushButton>(box, yes ? "Leeren" : "Abbrechen")->click();
            QCOMPARE(f.controller->log().entries().isEmpty(), yes);
        }
    }

    // "Sichern …" writes the export where the user chose and says so; a cancel writes
    // nothing, a failure says why.
    void exportLog()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("fehlt/log.txt");
        for (const QString& path : {dir.filePath("log.txt"), QString(), missing}) {
            With<TerminalView> f;
            f.controller->pump().sendHex("4G");
            QString proposed;
            f.view.setSaveLocationChooser([&](QWidget*, const QString& name) {
                proposed = name;
                return path;
            });
            withText<QPushButton>(&f.view, "Sichern …")->click();
            QCOMPARE(proposed, f.controller->log().proposedExportFileName());
            if (path.isEmpty()) {
                QCOMPARE(f.view.saveResult(), QString());
            } else if (path == missing) {
                QVERIFY2(f.view.saveResult().startsWith("Nicht gesichert: " + missing + " – "),
                         qPrintable(f.view.saveResult()));
            } else {
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(QString::fromUtf8(file.readAll()), f.controller->log().exportText());
                QCOMPARE(f.view.saveResult(), "Gesichert: " + path);
            }
        }
    }

    // The terminal's one conversation with a simulator: the bridge plug.
    void loopbackRunThroughTheBar()
    {
        UiFixture f(true);
        auto view = std::make_unique<TerminalView>(*f.controller, f.store.settings());
        auto* bar = view->findChild<LoopbackBar*>();
        QVERIFY(!bar->isVisibleTo(view.get()));
        withText<QPushButton>(view.get(), "Brückentest")->click();
        view = std::make_unique<TerminalView>(*f.controller, f.store.settings());
        bar = view->findChild<LoopbackBar*>();
        QVERIFY(bar->isVisibleTo(view.get())); // remembered
        auto* start = withText<QPushButton>(bar, "Test starten");
        auto* stop = withText<QPushButton>(bar, "Stopp");
        auto* size = bar->findChild<Stepper*>();
        QCOMPARE(bar->badgeText(), QStringLiteral("bereit"));
        QCOMPARE(size->text(), QStringLiteral("32 Bytes"));
        QVERIFY(!start->isEnabled());
        size->stepDown();
        QCOMPARE(f.controller->tester().loopbackOptions().packetSize, 24);

        view->resize(900, 400);
        view->show();
        f.connectTo(SerialPortInfo::loopbackSimulatorPath);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.controller->line().connection().is(ConnectionState::Case::connected), waitMs);
        const auto badgeAt = [&] {
            return withText<QLabel>(bar, bar->badgeText())->parentWidget()->pos();
        };
        const QPoint before = badgeAt();
        start->click();
        QVERIFY(!size->isEnabled() && stop->isVisibleTo(bar) && !start->isVisibleTo(bar));
        QCoreApplication::processEvents();
        QCOMPARE(badgeAt(), before); // "Stopp" takes the place of "Test starten", no re-wrap
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->tester().loopback().ok >= 2, waitMs);
        stop->click();
        QVERIFY(size->isEnabled() && start->isVisibleTo(bar));
        // The figures of the finished run stay.
        QCOMPARE(bar->badgeText(), QStringLiteral("Daten kommen an"));
        QVERIFY(withText<QLabel>(bar, QString::number(f.controller->tester().loopback().sent)));
    }

    // Where a display answered, test packets would be junk commands to it: both line tests
    // ask first, and only a yes sends.
    void lineTestsAskWhereADisplayAnswered()
    {
        With<TerminalView> f;
        f.connect();
        f.view.setLoopbackVisible(true);
        TestOutputTab output(*f.controller);
        output.show();
        const std::tuple<QWidget*, const char*, const char*> starts[] = {
            {f.view.findChild<LoopbackBar*>(), "Test starten", "Trotzdem testen"},
            {&output, "Einmal senden", "Trotzdem senden"},
        };
        for (const auto& [where, button, yes] : starts) {
            for (const bool agree : {false, true}) {
                const qsizetype mark = f.lines.written.size();
                withText<QPushButton>(where, button)->click();
                QMessageBox* box = dialog(*where);
                QVERIFY(box);
                QCOMPARE(f.lines.written.size(), mark); // nothing before the answer
                withText<QPushButton>(box, agree ? yes : "Abbrechen")->click();
                f.clock->advance(0.1);
                QCOMPARE(f.lines.written.size() > mark, agree);
            }
            f.controller->tester().stopLoopback();
            f.controller->pump().setRawMode(false);
        }
    }

    // 66 %: cut, not rounded; 29 %: not the 28 of binary floating point.
    void loopbackVerdictAndLatency()
    {
        using T = Style::Tone;
        const std::tuple<int, int, int, const char*, T> rows[] = {
            // ok, lost, faulty
            {0, 0, 0, "bereit", T::secondary},         {5, 0, 0, "Daten kommen an", T::green},
            {0, 4, 0, "nichts zurück", T::red},        {2, 1, 0, "66 % in Ordnung", T::orange},
            {29, 71, 0, "29 % in Ordnung", T::orange}, {0, 0, 3, "0 % in Ordnung", T::orange},
        };
        for (const auto& [ok, lost, faulty, text, tone] : rows) {
            LoopbackStats stats;
            stats.ok = ok;
            stats.lost = lost;
            stats.faulty = faulty;
            stats.sent = ok + lost + faulty;
            const LoopbackBadge badge = LoopbackBadge::of(stats);
            QCOMPARE(badge.text, QString(text));
            QCOMPARE(badge.tone, tone);
        }
        QCOMPARE(loopbackLatencyText(std::nullopt), QStringLiteral("–"));
        QCOMPARE(loopbackLatencyText(0.0126), QStringLiteral("12 ms")); // cut, not rounded
        QCOMPARE(loopbackLatencyText(0.029), QStringLiteral("29 ms"));
    }
};

QTEST_MAIN(TerminalTest)
#include "test_terminal.moc"

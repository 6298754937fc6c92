// The terminal pane: sending in SMART, raw and hex mode, the mode-dependent input row, following
// the log, saving it, and the bridge-plug bar with its verdicts.
#include "app/UiFixture.h"
#include "app/terminal/LogModel.h"
#include "app/terminal/LogRowDelegate.h"
#include "app/terminal/LoopbackBadge.h"
#include "app/terminal/LoopbackBar.h"
#include "app/terminal/TerminalView.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/Stepper.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

QLineEdit* input(const TerminalView& view)
{
    return child<QLineEdit>(&view, "terminalInput");
}

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

class TerminalViewTest : public QObject {
    Q_OBJECT

private slots:
    // What goes out for what is typed, by the button or Return. Without a line, Return sends
    // all the same (the button waits for a connection): SMART drops it, raw logs the refusal.
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
            {false, false, false, false, "41", "", ""},
            {false, true, false, false, "41", "Nicht verbunden.", ""},
        };
        for (const Row& row : rows) {
            UiFixture f;
            TerminalView view(*f.controller, f.store.settings());
            auto* send = withText<QPushButton>(&view, "Senden");
            if (row.connected)
                f.connect(promptOnly);
            f.controller->setRawMode(row.raw);
            view.setHexInput(row.hex);
            const qsizetype mark = f.lines.written.size();
            const qsizetype logged = f.controller->log().size();
            QTest::keyClicks(input(view), row.typed);
            QCOMPARE(send->isEnabled(), row.connected);
            if (row.button)
                send->click();
            else
                QTest::keyClick(input(view), Qt::Key_Return);
            QVERIFY(view.command().isEmpty() && !send->isEnabled());
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
            {true, false, "\u00BB", "Text \u2013 geht ungefiltert auf die Schnittstelle", crlf},
            {true, true, "\u00BB", "Hex-Bytes, z. B. 48 61 6C 6C 6F 0D 0A", "ohne Zeilenende"},
        };
        for (const auto& [raw, hex, prompt, placeholder, caption] : rows) {
            UiFixture f;
            TerminalView view(*f.controller, f.store.settings());
            QCOMPARE(lineEndingCaption(view), QStringLiteral("+ CR (\\r)"));
            view.setHexInput(hex);
            auto* mode = view.findChild<SegmentedControl*>();
            mode->setFocus();
            if (raw)
                QTest::keyClick(mode, Qt::Key_Right);
            QCOMPARE(f.controller->rawMode(), raw);
            SerialSettings settings = f.controller->settings();
            settings.lineEnding = SerialSettings::LineEnding::crlf;
            f.controller->setSettings(settings);
            QVERIFY(withText<QLabel>(&view, prompt));
            QCOMPARE(input(view)->placeholderText(), QString(placeholder));
            QCOMPARE(withText<QCheckBox>(&view, "Hex")->isVisibleTo(&view), raw);
            QCOMPARE(lineEndingCaption(view), caption);
            QCOMPARE(view.hexInput(), hex); // kept while hidden
        }
    }

    void followingTheLog()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        view.resize(800, 400);
        view.show();
        auto* list = view.findChild<QListView*>();
        QScrollBar* bar = list->verticalScrollBar();
        const auto append = [&](int count) {
            for (int i = 0; i < count; ++i)
                f.controller->sendHex(QString::number(i) + u'z');
            view.model()->flush();
            QCoreApplication::processEvents();
        };
        const auto topRow = [&] { return list->indexAt(QPoint(5, 2)).data(LogModel::IdRole); };
        append(300);
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());

        // Not following: the view stays where the user left it, even when the cap trims
        // rows above.
        view.setAutoScroll(false);
        bar->setValue(100);
        const QVariant top = topRow();
        append(LogBuffer::capacity - 300 + 50);
        QTRY_COMPARE(topRow(), top);
        // Turning following on does not scroll by itself; the next entry does.
        view.setAutoScroll(true);
        QCoreApplication::processEvents();
        QCOMPARE(topRow(), top);
        append(1);
        QTRY_VERIFY(bar->value() == bar->maximum());
    }

    void pollRowsCanBeHiddenInTheViewOnly()
    {
        UiFixture f;
        f.connect(); // polling every five seconds
        f.controller->send("get help");
        f.clock->advance(6);
        TerminalView view(*f.controller, f.store.settings());
        auto* rows = view.findChild<QListView*>()->model();
        const int all = rows->rowCount();
        child<QCheckBox>(&view, "hidePollsToggle")->click();
        QVERIFY(rows->rowCount() > 0 && rows->rowCount() <= all - 10); // a cycle: five queries
        QStringList shown;
        for (int row = 0; row < rows->rowCount(); ++row) {
            QVERIFY(!rows->index(row, 0).data(LogModel::PollRole).toBool());
            shown.append(rows->index(row, 0).data(LogModel::BodyRole).toString());
        }
        QVERIFY(shown.contains("get help"));
        QCOMPARE(view.model()->rowCount(), f.controller->log().size()); // the log keeps all
        // Remembered, and new poll rows stay hidden.
        TerminalView again(*f.controller, f.store.settings());
        f.clock->advance(5);
        again.model()->flush();
        QCOMPARE(again.findChild<QListView*>()->model()->rowCount(), rows->rowCount());
    }

    // The log follows the user's font, in the system's fixed-width face, and its line-end
    // pictures are legible: CR and LF differ in more than a smudge of pixels.
    void logTextFollowsTheFontAndShowsLineEndsApart()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        auto* rows = qobject_cast<LogRowDelegate*>(view.findChild<QListView*>()->itemDelegate());
        QVERIFY(QFontInfo(rows->font()).fixedPitch());
        QCOMPARE(rows->font().pointSizeF(), QApplication::font().pointSizeF());
        const auto ink = [&](const QString& marker) {
            const QSize size(rows->lineEnds().width(marker), QFontMetrics(rows->font()).height());
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            rows->lineEnds().draw(painter, image.rect(), marker, Qt::black, Qt::black);
            return image;
        };
        const QImage cr = ink("\u240D");
        const QImage lf = ink("\u240A");
        int differing = 0;
        for (int y = 0; y < cr.height(); ++y) {
            for (int x = 0; x < cr.width(); ++x)
                differing += (qAlpha(cr.pixel(x, y)) > 128) != (qAlpha(lf.pixel(x, y)) > 128);
        }
        QVERIFY2(differing >= 12, qPrintable(QString::number(differing)));
    }

    // "Sichern …" writes the export where the user chose; a cancel writes nothing.
    void exportLog()
    {
        for (const bool cancel : {false, true}) {
            UiFixture f;
            TerminalView view(*f.controller, f.store.settings());
            f.controller->sendHex("4G");
            QTemporaryDir dir;
            QString proposed;
            view.setSaveLocationChooser([&](QWidget*, const QString& name) {
                proposed = name;
                return cancel ? QString() : dir.filePath("log.txt");
            });
            withText<QPushButton>(&view, "Sichern \u2026")->click();
            QCOMPARE(proposed, f.controller->proposedExportFileName());
            QFile file(dir.filePath("log.txt"));
            QCOMPARE(file.open(QIODevice::ReadOnly), !cancel);
            if (!cancel)
                QCOMPARE(QString::fromUtf8(file.readAll()), f.controller->exportText());
        }
    }

    // The terminal's one conversation with a simulator: the bridge plug.
    void loopbackRunThroughTheBar()
    {
        UiFixture f(true);
        auto view = std::make_unique<TerminalView>(*f.controller, f.store.settings());
        auto* bar = view->findChild<LoopbackBar*>();
        QVERIFY(!bar->isVisibleTo(view.get()));
        withText<QPushButton>(view.get(), "Br\u00FCckentest")->click();
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
        QCOMPARE(f.controller->loopbackPacketSize(), 24);

        view->resize(900, 400);
        view->show();
        QVERIFY(f.connectToSimulator(SerialPortInfo::loopbackSimulatorPath));
        const auto badgeAt = [&] {
            return withText<QLabel>(bar, bar->badgeText())->parentWidget()->pos();
        };
        const QPoint before = badgeAt();
        start->click();
        QVERIFY(!size->isEnabled() && stop->isVisibleTo(bar) && !start->isVisibleTo(bar));
        QCoreApplication::processEvents();
        QCOMPARE(badgeAt(), before); // "Stopp" takes the place of "Test starten", no re-wrap
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->loopback().ok >= 2, waitMs);
        stop->click();
        QVERIFY(size->isEnabled() && start->isVisibleTo(bar));
        // The figures of the finished run stay.
        QCOMPARE(bar->badgeText(), QStringLiteral("Daten kommen an"));
        QVERIFY(withText<QLabel>(bar, QString::number(f.controller->loopback().sent)));
    }

    // 66 %: cut, not rounded; 29 %: not the 28 of binary floating point.
    void loopbackVerdictAndLatency()
    {
        using T = Style::Tone;
        const std::tuple<int, int, int, const char*, T> rows[] = {
            // ok, lost, faulty
            {0, 0, 0, "bereit", T::secondary},         {5, 0, 0, "Daten kommen an", T::green},
            {0, 4, 0, "nichts zur\u00FCck", T::red},   {2, 1, 0, "66 % in Ordnung", T::orange},
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
        QCOMPARE(loopbackLatencyText(std::nullopt), QStringLiteral("\u2013"));
        QCOMPARE(loopbackLatencyText(0.0126), QStringLiteral("12 ms")); // cut, not rounded
        QCOMPARE(loopbackLatencyText(0.029), QStringLiteral("29 ms"));
    }
};

QTEST_MAIN(TerminalViewTest)
#include "test_terminal_view.moc"

// The terminal pane: sending in SMART, raw and hex mode, the mode-dependent input row, following
// the log, saving it, and the bridge-plug bar with its verdicts.
#include "app/UiFixture.h"
#include "app/terminal/LogModel.h"
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
    void sendAction_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("button"); // or Return
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("SMART command") << false << false << true << "  get volume "
                                       << "get volume" << QByteArray("get volume\r");
        QTest::newRow("raw text as typed") << true << false << false << " hallo "
                                           << " hallo " << QByteArray(" hallo \r");
        QTest::newRow("hex bytes") << true << true << false << "48 61 0x6C"
                                   << "Hal" << QByteArray("Hal");
        QTest::newRow("hex switch ignored in SMART mode")
            << false << true << false << "get input"
            << "get input" << QByteArray("get input\r");
    }
    void sendAction()
    {
        QFETCH(bool, raw);
        QFETCH(bool, hex);
        QFETCH(bool, button);
        QFETCH(QString, typed);
        QFETCH(QString, logged);
        QFETCH(QByteArray, bytes);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        auto* send = withText<QPushButton>(&view, "Senden");
        f.connect(promptOnly);
        f.controller->setRawMode(raw);
        view.setHexInput(hex);
        QVERIFY(!send->isEnabled()); // nothing typed yet
        const qsizetype mark = f.lines.written.size();

        QTest::keyClicks(input(view), typed);
        if (button)
            send->click();
        else
            QTest::keyClick(input(view), Qt::Key_Return);
        QCOMPARE(view.command(), QString());
        QVERIFY(!send->isEnabled());
        f.clock->settle();
        QCOMPARE(f.lines.written.mid(mark), bytes);
        QCOMPARE(f.logTexts(Kind::tx).last(), logged);
    }

    void withoutConnection_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("SMART: dropped silently") << false << QStringList();
        QTest::newRow("raw") << true << QStringList{"Nicht verbunden."};
    }
    void withoutConnection()
    {
        QFETCH(bool, raw);
        QFETCH(QStringList, errors);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        f.controller->setRawMode(raw);
        QTest::keyClicks(input(view), "41");
        // The button needs a connection; Return sends all the same.
        QVERIFY(!withText<QPushButton>(&view, "Senden")->isEnabled());
        QTest::keyClick(input(view), Qt::Key_Return);
        QCOMPARE(view.command(), QString());
        QCOMPARE(f.logTexts(Kind::error), errors);
    }

    void inputRowFollowsTheMode_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("placeholder");
        QTest::addColumn<QString>("caption"); // after CR+LF is chosen
        const QString smart = QStringLiteral("Befehl an das Display, z. B. get powerstate");
        QTest::newRow("SMART") << false << false << ">" << smart << "+ CR+LF (\\r\\n)";
        QTest::newRow("SMART hides hex") << false << true << ">" << smart << "+ CR+LF (\\r\\n)";
        QTest::newRow("raw text") << true << false << "\u00BB"
                                  << "Text \u2013 geht ungefiltert auf die Schnittstelle"
                                  << "+ CR+LF (\\r\\n)";
        QTest::newRow("raw hex") << true << true << "\u00BB"
                                 << "Hex-Bytes, z. B. 48 61 6C 6C 6F 0D 0A"
                                 << "ohne Zeilenende";
    }
    void inputRowFollowsTheMode()
    {
        QFETCH(bool, raw);
        QFETCH(bool, hex);
        QFETCH(QString, prompt);
        QFETCH(QString, placeholder);
        QFETCH(QString, caption);
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
        QCOMPARE(input(view)->placeholderText(), placeholder);
        QCOMPARE(withText<QCheckBox>(&view, "Hex")->isVisibleTo(&view), raw);
        QCOMPARE(lineEndingCaption(view), caption);
        QCOMPARE(view.hexInput(), hex); // kept while hidden
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

    void exportLog_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("saved") << false;
        QTest::newRow("cancelled") << true;
    }
    void exportLog()
    {
        QFETCH(bool, cancel);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        f.controller->sendHex("4G");
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QString proposed;
        view.setSaveLocationChooser([&](QWidget*, const QString& name) {
            proposed = name;
            return cancel ? QString() : path;
        });
        withText<QPushButton>(&view, "Sichern \u2026")->click();
        QCOMPARE(proposed, f.controller->proposedExportFileName());
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly), !cancel);
        if (!cancel)
            QCOMPARE(QString::fromUtf8(file.readAll()), f.controller->exportText());
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

        QVERIFY(f.connectToSimulator(SerialPortInfo::loopbackSimulatorPath));
        start->click();
        QVERIFY(!size->isEnabled() && stop->isVisibleTo(bar) && !start->isVisibleTo(bar));
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->loopback().ok >= 2, waitMs);
        stop->click();
        QVERIFY(size->isEnabled() && start->isVisibleTo(bar));
        // The figures of the finished run stay.
        QCOMPARE(bar->badgeText(), QStringLiteral("Daten kommen an"));
        QVERIFY(withText<QLabel>(bar, QString::number(f.controller->loopback().sent)));
    }

    void loopbackVerdict_data()
    {
        QTest::addColumn<int>("ok");
        QTest::addColumn<int>("lost");
        QTest::addColumn<int>("faulty");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tone");
        using Tone = LoopbackBadge::Tone;
        QTest::newRow("before the first packet") << 0 << 0 << 0 << "bereit" << int(Tone::secondary);
        QTest::newRow("all back") << 5 << 0 << 0 << "Daten kommen an" << int(Tone::green);
        QTest::newRow("nothing back") << 0 << 4 << 0 << "nichts zur\u00FCck" << int(Tone::red);
        QTest::newRow("3 good, 1 lost") << 3 << 1 << 0 << "75 % in Ordnung" << int(Tone::orange);
        QTest::newRow("2 of 3, cut") << 2 << 1 << 0 << "66 % in Ordnung" << int(Tone::orange);
        QTest::newRow("29 of 100 stays 29")
            << 29 << 71 << 0 << "29 % in Ordnung" << int(Tone::orange);
        QTest::newRow("only faulty") << 0 << 0 << 3 << "0 % in Ordnung" << int(Tone::orange);
    }
    void loopbackVerdict()
    {
        QFETCH(int, ok);
        QFETCH(int, lost);
        QFETCH(int, faulty);
        QFETCH(QString, text);
        QFETCH(int, tone);
        LoopbackStats stats;
        stats.ok = ok;
        stats.lost = lost;
        stats.faulty = faulty;
        stats.sent = ok + lost + faulty;
        const LoopbackBadge badge = LoopbackBadge::of(stats);
        QCOMPARE(badge.text, text);
        QCOMPARE(int(badge.tone), tone);
    }

    void loopbackLatency()
    {
        QCOMPARE(loopbackLatencyText(std::nullopt), QStringLiteral("\u2013"));
        QCOMPARE(loopbackLatencyText(0.0126), QStringLiteral("12 ms")); // cut, not rounded
        QCOMPARE(loopbackLatencyText(0.029), QStringLiteral("29 ms"));
    }
};

QTEST_MAIN(TerminalViewTest)
#include "test_terminal_view.moc"

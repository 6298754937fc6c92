// The terminal pane's actions: sending in SMART, raw and hex mode, the mode-dependent input
// row, following the log, saving it, and the bridge-plug bar.
#include "app/UiFixture.h"
#include "app/terminal/LogModel.h"
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
        f.controller->setPollingEnabled(false);
        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QVERIFY(f.waitUntilIdle());
        f.controller->setRawMode(raw);
        view.setHexInput(hex);
        QVERIFY(!send->isEnabled()); // nothing typed yet
        const int before = f.controller->log().size();

        QTest::keyClicks(input(view), typed);
        if (button)
            send->click();
        else
            QTest::keyClick(input(view), Qt::Key_Return);
        QCOMPARE(view.command(), QString());
        QVERIFY(!send->isEnabled());
        const auto entry = [&]() -> std::optional<LogEntry> {
            for (int i = before; i < f.controller->log().size(); ++i) {
                const LogEntry& e = f.controller->log().at(i);
                if (e.kind == Kind::tx && e.text == logged)
                    return e;
            }
            return std::nullopt;
        };
        QTRY_VERIFY_WITH_TIMEOUT(entry().has_value(), waitMs);
        QCOMPARE(entry()->bytes, bytes);
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
        QCOMPARE(f.logTexts(Kind::tx), QStringList());
    }

    void inputRowFollowsTheMode_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("placeholder");
        QTest::addColumn<bool>("hexVisible");
        QTest::addColumn<QString>("caption");
        const QString smart = QStringLiteral("Befehl an das Display, z. B. get powerstate");
        QTest::newRow("SMART") << false << false << ">" << smart << false << "+ CR (\\r)";
        QTest::newRow("SMART keeps hex hidden")
            << false << true << ">" << smart << false << "+ CR (\\r)";
        QTest::newRow("raw text") << true << false << "\u00BB"
                                  << "Text \u2013 geht ungefiltert auf die Schnittstelle" << true
                                  << "+ CR (\\r)";
        QTest::newRow("raw hex") << true << true << "\u00BB"
                                 << "Hex-Bytes, z. B. 48 61 6C 6C 6F 0D 0A" << true
                                 << "ohne Zeilenende";
    }
    void inputRowFollowsTheMode()
    {
        QFETCH(bool, raw);
        QFETCH(bool, hex);
        QFETCH(QString, prompt);
        QFETCH(QString, placeholder);
        QFETCH(bool, hexVisible);
        QFETCH(QString, caption);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        view.setHexInput(hex);
        // The mode selector is the way the user switches.
        auto* mode = view.findChild<SegmentedControl*>();
        mode->setFocus();
        if (raw)
            QTest::keyClick(mode, Qt::Key_Right);
        QCOMPARE(f.controller->rawMode(), raw);
        QVERIFY(withText<QLabel>(&view, prompt));
        QCOMPARE(input(view)->placeholderText(), placeholder);
        QCOMPARE(withText<QCheckBox>(&view, "Hex")->isVisibleTo(&view), hexVisible);
        QCOMPARE(lineEndingCaption(view), caption);
        QCOMPARE(view.hexInput(), hex); // kept while hidden

        SerialSettings settings = f.controller->settings();
        settings.lineEnding = SerialSettings::LineEnding::crlf;
        f.controller->setSettings(settings);
        if (!hex || !raw)
            QCOMPARE(lineEndingCaption(view), QStringLiteral("+ CR+LF (\\r\\n)"));
    }

    void followingTheLog()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        view.resize(800, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* list = view.findChild<QListView*>();
        QScrollBar* bar = list->verticalScrollBar();
        const auto append = [&](int count, const QString& prefix) {
            for (int i = 0; i < count; ++i)
                f.controller->appendLog(Kind::info, prefix + QString::number(i));
            view.model()->flush();
            QCoreApplication::processEvents();
        };

        append(300, "a");
        QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0 && bar->value() == bar->maximum(), waitMs);

        // Not following: the view stays where the user left it, even when the cap trims
        // rows above.
        view.setAutoScroll(false);
        bar->setValue(100);
        const QUuid top = list->indexAt(QPoint(5, 2)).data(LogModel::IdRole).toUuid();
        append(LogBuffer::capacity - 300 + 50, "b");
        QTRY_COMPARE_WITH_TIMEOUT(list->indexAt(QPoint(5, 2)).data(LogModel::IdRole).toUuid(), top,
                                  waitMs);
        QVERIFY(bar->value() < bar->maximum());

        // Turning following on does not scroll by itself; the next entry does.
        view.setAutoScroll(true);
        QCoreApplication::processEvents();
        QCOMPARE(list->indexAt(QPoint(5, 2)).data(LogModel::IdRole).toUuid(), top);
        append(1, "c");
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() == bar->maximum(), waitMs);

        f.controller->clearLog();
        QCOMPARE(list->model()->rowCount(), 0);
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
        f.controller->appendLog(Kind::tx, "get volume", "get volume\r");
        f.controller->appendLog(Kind::info, "Hinweis");
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QString proposed;
        view.setSaveLocationChooser([&](QWidget*, const QString& name) {
            proposed = name;
            return cancel ? QString() : path;
        });
        withText<QPushButton>(&view, "Sichern \u2026")->click();
        QCOMPARE(proposed, f.controller->proposedExportFileName());
        QVERIFY(proposed.endsWith("_Bildwart_Terminal.txt"));
        QFile file(path);
        if (cancel) {
            QVERIFY(!file.exists());
            return;
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), f.controller->exportText());
    }

    void loopbackRunThroughTheBar()
    {
        UiFixture f;
        auto view = std::make_unique<TerminalView>(*f.controller, f.store.settings());
        auto* bar = view->findChild<LoopbackBar*>();
        QVERIFY(!bar->isVisibleTo(view.get()));
        withText<QPushButton>(view.get(), "Br\u00FCckentest")->click();
        QVERIFY(bar->isVisibleTo(view.get()));
        // Remembered for the next view.
        view = std::make_unique<TerminalView>(*f.controller, f.store.settings());
        bar = view->findChild<LoopbackBar*>();
        QVERIFY(bar->isVisibleTo(view.get()));
        auto* start = withText<QPushButton>(bar, "Test starten");
        auto* stop = withText<QPushButton>(bar, "Stopp");
        auto* size = bar->findChild<Stepper*>();
        QCOMPARE(bar->badgeText(), QStringLiteral("bereit"));
        QCOMPARE(size->text(), QStringLiteral("32 Bytes"));
        QVERIFY(!start->isEnabled());
        size->stepDown();
        QCOMPARE(f.controller->loopbackPacketSize(), 24);

        QVERIFY(f.connectTo(SerialPortInfo::loopbackSimulatorPath));
        QVERIFY(start->isEnabled());
        start->click();
        QVERIFY(f.controller->loopbackRunning());
        QVERIFY(!size->isEnabled());
        QVERIFY(stop->isVisibleTo(bar));
        QVERIFY(!start->isVisibleTo(bar));
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->loopback().ok >= 2, waitMs);
        stop->click();
        QVERIFY(!f.controller->loopbackRunning());
        QVERIFY(size->isEnabled());
        // The figures of the finished run stay.
        QCOMPARE(bar->badgeText(), QStringLiteral("Daten kommen an"));
        QVERIFY(withText<QLabel>(bar, QString::number(f.controller->loopback().sent)));
    }
};

QTEST_MAIN(TerminalViewTest)
#include "test_terminal_view.moc"

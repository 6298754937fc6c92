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
#include <QTest>

namespace {

constexpr int waitMs = 10000;
using Kind = LogEntry::Kind;

QStringList texts(const DisplayController& controller, Kind kind)
{
    QStringList found;
    for (const LogEntry& entry : controller.log()) {
        if (entry.kind == kind)
            found.append(entry.text);
    }
    return found;
}

template <typename T>
T* withText(const QWidget* parent, const QString& text)
{
    for (T* candidate : parent->findChildren<T*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    qFatal("nothing with the text %s", qPrintable(text));
}

QLineEdit* input(const TerminalView& view)
{
    return child<QLineEdit>(&view, "terminalInput");
}

// Types the text into the input line and presses Return, as the user does.
void typeAndReturn(const TerminalView& view, const QString& text)
{
    QTest::keyClicks(input(view), text);
    QTest::keyClick(input(view), Qt::Key_Return);
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
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QByteArray>("bytes"); // of the tx entry; empty for an error
        QTest::newRow("SMART command") << false << false << "  get volume " << int(Kind::tx)
                                       << "get volume" << QByteArray("get volume\r");
        QTest::newRow("SMART blanks ask for a prompt")
            << false << false << "   " << int(Kind::tx) << "(Zeilenende \u2013 Prompt anfordern)"
            << QByteArray("\r");
        QTest::newRow("raw text as typed")
            << true << false << " hallo " << int(Kind::tx) << " hallo " << QByteArray(" hallo \r");
        QTest::newRow("hex bytes")
            << true << true << "48 61 0x6C" << int(Kind::tx) << "Hal" << QByteArray("Hal");
        QTest::newRow("invalid hex") << true << true << "4G" << int(Kind::error)
                                     << "Ung\u00FCltige Hex-Eingabe: 4G" << QByteArray();
        QTest::newRow("hex switch ignored in SMART mode")
            << false << true << "get input" << int(Kind::tx) << "get input"
            << QByteArray("get input\r");
    }
    void sendAction()
    {
        QFETCH(bool, raw);
        QFETCH(bool, hex);
        QFETCH(QString, typed);
        QFETCH(int, kind);
        QFETCH(QString, logged);
        QFETCH(QByteArray, bytes);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->queue().isEmpty() && !f.controller->current(),
                                 waitMs);
        f.controller->setPollingEnabled(false);
        f.controller->setRawMode(raw);
        view.setHexInput(hex);
        const int before = f.controller->log().size();

        typeAndReturn(view, typed);
        QCOMPARE(view.command(), QString()); // cleared, valid or not
        const auto entry = [&]() -> std::optional<LogEntry> {
            for (int i = before; i < f.controller->log().size(); ++i) {
                const LogEntry& e = f.controller->log().at(i);
                if (int(e.kind) == kind && e.text == logged)
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
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("SMART: dropped silently") << false << false << QStringList();
        QTest::newRow("raw text") << true << false << QStringList{"Nicht verbunden."};
        QTest::newRow("hex") << true << true << QStringList{"Nicht verbunden."};
    }
    void withoutConnection()
    {
        QFETCH(bool, raw);
        QFETCH(bool, hex);
        QFETCH(QStringList, errors);
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        f.controller->setRawMode(raw);
        view.setHexInput(hex);
        QTest::keyClicks(input(view), "41");
        // The button needs a connection; Return sends all the same.
        QVERIFY(!withText<QPushButton>(&view, "Senden")->isEnabled());
        QTest::keyClick(input(view), Qt::Key_Return);
        QCOMPARE(view.command(), QString());
        QCOMPARE(texts(*f.controller, Kind::error), errors);
        QCOMPARE(texts(*f.controller, Kind::tx), QStringList());
    }

    void sendButtonNeedsConnectionAndText()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        auto* send = withText<QPushButton>(&view, "Senden");
        QVERIFY(!send->isEnabled());
        QVERIFY(f.connectTo(SerialPortInfo::loopbackSimulatorPath));
        QVERIFY(!send->isEnabled());
        view.setCommand("x");
        QVERIFY(send->isEnabled());
        send->click();
        QCOMPARE(view.command(), QString());
        QVERIFY(!send->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(texts(*f.controller, Kind::tx).contains("x"), waitMs);
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
    }

    void lineEndingCaptionFollowsTheSettings()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        SerialSettings settings = f.controller->settings();
        settings.lineEnding = SerialSettings::LineEnding::crlf;
        f.controller->setSettings(settings);
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

    void loopbackBarVisibilityIsRemembered()
    {
        UiFixture f;
        {
            TerminalView view(*f.controller, f.store.settings());
            auto* bar = view.findChild<LoopbackBar*>();
            QVERIFY(!bar->isVisibleTo(&view));
            withText<QPushButton>(&view, "Br\u00FCckentest")->click();
            QVERIFY(view.loopbackVisible());
            QVERIFY(bar->isVisibleTo(&view));
        }
        TerminalView again(*f.controller, f.store.settings());
        QVERIFY(again.loopbackVisible());
        QVERIFY(again.findChild<LoopbackBar*>()->isVisibleTo(&again));
        QCOMPARE(f.store.settings().value("loopbackVisible").toBool(), true);
    }

    void loopbackRunThroughTheBar()
    {
        UiFixture f;
        TerminalView view(*f.controller, f.store.settings());
        view.setLoopbackVisible(true);
        auto* bar = view.findChild<LoopbackBar*>();
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

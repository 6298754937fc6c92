// The controller on real lines; everything else is checked on fake lines.
#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"

#include <QDir>
#include <QRandomGenerator>
#include <unistd.h>

namespace {

int countEntries(const QString& directory)
{
    return int(
        QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// The adapter's stable name, as udev's by-id link gives it, now for this device node.
bool pointLink(const QString& link, const QString& node)
{
    ::unlink(link.toLocal8Bit().constData());
    return ::symlink(node.toLocal8Bit().constData(), link.toLocal8Bit().constData()) == 0;
}

// A stand-in adapter: the pseudo-terminal and the display answering on it.
struct Adapter {
    Pty pty;
    ScriptedDisplay display{pty.master(), answerEverything};
};

} // namespace

class PtyScenariosTest : public QObject {
    Q_OBJECT

private slots:
    // The series reaches the simulator: an RX model answers.
    void simulatorConversation()
    {
        ControllerFixture f;
        f.realTime = true;
        DisplayController& c = f.make();
        c.display().setSeries(DisplaySeries::rx);
        f.connectTo(SerialPortInfo::smartSimulatorPath);
        QCOMPARE(c.line().connection(), ConnectionState::connected());
        const QStringList info = f.logTexts(Kind::info);
        const QString started = QStringLiteral("Simulator gestartet auf ");
        QVERIFY2(info.value(0).startsWith(started + "/dev/pts/"), qPrintable(info.value(0)));
        QCOMPARE(info.value(1), "Verbunden mit " + info.value(0).mid(started.size()) +
                                    " · 19200 · 8N1 · Flusssteuerung Keine");

        QVERIFY(waitUntil([&] {
            return f.idle() && c.display().state().text(DisplaySetting::firmware).has_value();
        }));
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QCOMPARE(c.display().state().text(DisplaySetting::modelNumber), "SBID-RX086");
        QVERIFY(c.line().hearsBytes());
        c.display().setPower(PowerState::standby);
        QVERIFY(waitUntil([&] { return c.display().state().power() == PowerState::standby; }));
    }

    // Pulled and replugged at random moments (a fixed seed: the same every run), also in
    // the middle of a reconnection series: in the end connected, with nothing leaked.
    void manyPullsAndReplugs()
    {
        const int descriptorsBefore = countEntries("/proc/self/fd");
        const int threadsBefore = countEntries("/proc/self/task");
        {
            ControllerFixture f;
            f.realTime = true;
            DisplayController& c = f.make();
            f.setPolling(false, c.pump().polling().interval);
            QTemporaryDir dir;
            const QString link = dir.filePath(QStringLiteral("usb-Test-if00"));
            auto adapter = std::make_unique<Adapter>();
            QVERIFY(pointLink(link, adapter->pty.slavePath()));
            f.connectTo(link);
            QCOMPARE(c.line().connection(), ConnectionState::connected());
            QRandomGenerator random(20261206);
            for (int cycle = 0; cycle < 30; ++cycle) {
                f.scanner->unlist(link);
                adapter.reset();
                f.hotplug->fire();
                QTest::qWait(int(random.bounded(100)));
                adapter = std::make_unique<Adapter>();
                QVERIFY(pointLink(link, adapter->pty.slavePath()));
                f.scanner->list(link);
                f.hotplug->fire();
                QTest::qWait(int(random.bounded(100)));
            }
            QVERIFY(
                waitUntil([&] { return c.line().connection() == ConnectionState::connected(); }));
            QVERIFY(c.line().dropouts().size() >= 1);
            QVERIFY(c.line().reconnects() >= 1);
            QVERIFY(waitUntil([&] { return adapter->display.lines.contains("get modelnum"); }));
            c.disconnectLine();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(countEntries("/proc/self/fd"), descriptorsBefore);
        QCOMPARE(countEntries("/proc/self/task"), threadsBefore);
    }
};

QTEST_GUILESS_MAIN(PtyScenariosTest)
#include "test_pty_scenarios.moc"

// Faults on the line: an adapter pulled in the middle of every kind of work, a long
// series of pulls and replugs, a display that prints garbage, a peer that never reads,
// a damaged settings file and an export that cannot be written.
#include "LineFixture.h"
#include "controller/LogExport.h"

#include <QDir>
#include <QRandomGenerator>
#include <sys/mount.h>

namespace {

int countEntries(const QString& directory)
{
    return int(
        QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

int openDescriptors()
{
    return countEntries(QStringLiteral("/proc/self/fd"));
}

int runningThreads()
{
    return countEntries(QStringLiteral("/proc/self/task"));
}

// A controller on an adapter behind a stable link, with reconnection on.
struct PluggedLine {
    ControllerFixture f;
    AdapterLink link;
    std::unique_ptr<Adapter> adapter = std::make_unique<Adapter>();

    PluggedLine(bool silent = false)
    {
        if (silent)
            adapter->display->setScript({});
        link.pointTo(adapter->pty.slavePath());
        SerialSettings settings;
        settings.responseTimeout = 0.5;
        f.make().setSettings(settings);
        f.connectTo(link.path());
    }

    void pull()
    {
        f.scanner->unlist(link.path());
        adapter->pull();
        f.hotplug->fire();
    }

    void replug()
    {
        adapter = std::make_unique<Adapter>();
        link.pointTo(adapter->pty.slavePath());
        f.scanner->list(link.path());
        f.hotplug->fire();
    }
};

// Mounts a small file system for the test, or says why it cannot.
class ScratchMount {
public:
    ScratchMount(const QString& options)
    {
        m_ok = ::mount("tmpfs", m_dir.path().toLocal8Bit().constData(), "tmpfs", 0,
                       options.toLocal8Bit().constData()) == 0;
    }
    ~ScratchMount()
    {
        if (m_ok)
            ::umount2(m_dir.path().toLocal8Bit().constData(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", m_dir.path().toLocal8Bit().constData(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void pulledInTheMiddleOfWork_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("a command waits") << "command";
        QTest::newRow("test output runs") << "test";
        QTest::newRow("a loopback packet waits") << "loopback";
    }
    void pulledInTheMiddleOfWork()
    {
        QFETCH(QString, work);
        // Silent but for the test output: commands and packets wait for their answer.
        PluggedLine line(work != u"test");
        DisplayController& c = *line.f.controller;
        if (work == u"command") {
            QTRY_VERIFY(c.current().has_value());
        } else if (work == u"test") {
            c.setTestInterval(0.05);
            c.startTest();
            QTRY_VERIFY_WITH_TIMEOUT(c.testSentCount() >= 3, waitMs);
        } else {
            c.startLoopback();
            QTRY_VERIFY(c.loopbackRunning());
        }
        line.pull();
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::waiting(), waitMs);
        QCOMPARE(c.dropouts().size(), 1);
        QVERIFY(!c.current());
        QVERIFY(c.queue().isEmpty());
        QVERIFY(!c.testRunning());
        QVERIFY(!c.loopbackRunning());
        const qint64 sent = c.testSentCount();
        const LoopbackStats stats = c.loopback();
        if (work == u"test")
            QVERIFY(
                line.f.logTexts(Kind::info)
                    .contains(QStringLiteral("Testausgabe gestoppt nach %1 Paketen").arg(sent)));
        // No prompt timer, output loop or packet routine outlives the line.
        QTest::qWait(800);
        QCOMPARE(c.timeouts(), 0);
        QCOMPARE(c.testSentCount(), sent);
        QCOMPARE(c.loopback(), stats);
        line.replug();
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::connected(), waitMs);
    }

    void manyPullsAndReplugs()
    {
        const int descriptorsBefore = openDescriptors();
        const int threadsBefore = runningThreads();
        {
            PluggedLine line;
            DisplayController& c = *line.f.controller;
            c.setPollingEnabled(false);
            QRandomGenerator random(20261206); // fixed seed: the same gaps every run
            for (int cycle = 0; cycle < 100; ++cycle) {
                line.pull();
                QTest::qWait(int(random.bounded(300)));
                line.replug(); // sometimes in the middle of a reconnection series
                QTest::qWait(int(random.bounded(300)));
                QVERIFY(c.dropouts().size() <= 50);
            }
            QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::connected(), waitMs);
            QTRY_VERIFY_WITH_TIMEOUT(!c.isReconnecting(), waitMs);
            QVERIFY(c.dropouts().size() <= 50);
            QVERIFY(c.reconnects() >= 1);
            c.disconnect();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(openDescriptors(), descriptorsBefore);
        QCOMPARE(runningThreads(), threadsBefore);
    }

    void garbageWithoutLineEndsStaysBounded()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        QRandomGenerator random(7);
        QByteArray chunk(1024, Qt::Uninitialized);
        for (int i = 0; i < 10 * 1024; ++i) { // 10 MB
            for (char& byte : chunk) {
                byte = char(random.bounded(256));
                if (byte == '\r' || byte == '\n' || byte == '>')
                    byte = 'x';
            }
            c.handleReceived(chunk);
        }
        QCOMPARE(c.log().size(), LogBuffer::capacity);
        QCOMPARE(c.rxCount(), qint64(10) * 1024 * 1024);
        c.handleReceived("\r\nvolume=40\r\n>");
        QCOMPARE(c.volume(), 40.0);
    }

    void peerThatNeverReads()
    {
        LineFixture f; // silent, and soon it stops reading too
        SerialSettings settings;
        settings.responseTimeout = 30;
        DisplayController& c = f.connect(settings);
        QTRY_VERIFY(c.current().has_value());
        // Stop reading, then fill the line until writing no longer goes through.
        f.display.setReading(false);
        c.setRawMode(true);
        const QByteArray block(4096, 'x');
        for (int i = 0; i < 64 && f.logTexts(Kind::error).isEmpty(); ++i)
            c.sendRaw(block);
        const QStringList errors = f.logTexts(Kind::error);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("Senden fehlgeschlagen: ")));
        QVERIFY(c.connection().is(ConnectionState::Case::connected)); // a full buffer is no dropout
    }

    void damagedSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray("[General]\nserialSettings=@ByteArray({\\\"baudR");
        QTest::newRow("garbage") << QByteArray("\x01\xff\xfe[[[=\n\0\0=\n", 12);
        QTest::newRow("wrong types")
            << QByteArray("[General]\nserialSettings=17\npollingInterval=schnell\n"
                          "displaySeries=@Variant(\\0\\0\\0\\x7f)\nlastPortPath=@Invalid()\n");
    }
    void damagedSettingsFile()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Bildwart.conf"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        {
            QSettings store(path, QSettings::IniFormat);
            auto controller = makeController(store);
            QCOMPARE(controller->settings(), SerialSettings::smartStandard());
            QCOMPARE(controller->pollingInterval(), 5.0);
            QCOMPARE(controller->series(), DisplaySeries::qx);
            QVERIFY(!store.contains(QStringLiteral("serialSettings")) ||
                    !SerialSettings::fromJson(store.value("serialSettings").toByteArray()));
        }
        // Nothing half-decoded was written back.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    void exportThatCannotBeWritten()
    {
        ScratchMount disk(QStringLiteral("size=16k"));
        if (!disk.ok())
            QSKIP("mounting a scratch file system needs root");
        const QString target = disk.path() + QStringLiteral("/log.txt");
        QVERIFY(writeExportFile(target, QStringLiteral("alt")));

        // Full disk: the old file stays as it was.
        QVERIFY(!writeExportFile(target, QString(64 * 1024, u'x')));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("alt"));
        file.close();

        // Read-only: likewise.
        QVERIFY(disk.remountReadOnly());
        QVERIFY(!writeExportFile(target, QStringLiteral("neu")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("alt"));
    }
};

QTEST_GUILESS_MAIN(FaultsTest)
#include "test_faults.moc"

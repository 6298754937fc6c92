// Facts from the running system, on a pseudo-terminal of the test's own: who has it open
// or locked (a child process), and what its owner and mode mean with a user database of
// the test's making. Also the readers of /proc/locks and of brltty's rules.
#include "FakeUsers.h"
#include "Pty.h"
#include "Support.h"
#include "diagnostics/PortDiagnosis.h"
#include "serial/BrlttyRules.h"
#include "serial/PortFactCollector.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

class TestSystemFacts : public QObject {
    Q_OBJECT

private:
    // A child that has `path` open (on its stdin) until the test ends.
    static bool startHolder(QProcess& child, const QString& path)
    {
        child.setStandardInputFile(path);
        child.start("sleep", {"600"});
        return child.waitForStarted(waitMs);
    }

private slots:
    void childProcessHoldsThePort()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        QProcess child;
        QVERIFY(startHolder(child, pty.slavePath()));
        const PortFacts facts =
            PortFactCollector().collect(pty.slavePath(), PortFactCollector::Depth::full);
        // The test's own descriptors are not among them.
        QCOMPARE(facts.holders, (QList<ProcessHolder>{{child.processId(), "sleep"}}));
        const QList<Finding> findings = PortDiagnosis::findings(facts);
        QCOMPARE(findings.value(0).id, QStringLiteral("held-by-process"));
        QCOMPARE(findings.value(0).text,
                 QStringLiteral("sleep (PID %1) hat den Port geöffnet.").arg(child.processId()));
        child.kill();
        child.waitForFinished(waitMs);
    }

    // flock(1) takes the lock and waits for its command; /proc/locks names it.
    void lockHolderIsFound()
    {
        const QString flock = QStandardPaths::findExecutable("flock");
        if (flock.isEmpty())
            QSKIP("flock(1) is not installed");
        Pty pty;
        QVERIFY(pty.isValid());
        QProcess child;
        child.start(flock, {pty.slavePath(), "sleep", "600"});
        QVERIFY(child.waitForStarted(waitMs));
        const ProcessTable processes;
        QVERIFY(waitUntil([&] { return !processes.lockHoldersOf(pty.slavePath()).isEmpty(); }));
        QCOMPARE(processes.lockHoldersOf(pty.slavePath()),
                 (QList<ProcessHolder>{{child.processId(), "flock"}}));
        child.kill();
        child.waitForFinished(waitMs);
    }

    void lockingProcesses_data()
    {
        QTest::addColumn<QByteArray>("locks");
        QTest::addColumn<QList<qint64>>("expected");
        // The file is 00:05:87 (devtmpfs, inode 87).
        QTest::newRow("flock") << QByteArray("1: FLOCK  ADVISORY  WRITE 4711 00:05:87 0 EOF\n")
                               << QList<qint64>{4711};
        QTest::newRow("posix and a waiter")
            << QByteArray("1: POSIX  ADVISORY  WRITE 812 00:05:87 0 EOF\n"
                          "1: -> POSIX  ADVISORY  WRITE 813 00:05:87 0 EOF\n")
            << QList<qint64>{812};
        QTest::newRow("other inode, other device, longer inode")
            << QByteArray("2: FLOCK  ADVISORY  WRITE 1 00:05:88 0 EOF\n"
                          "3: FLOCK  ADVISORY  WRITE 2 fe:00:87 0 EOF\n"
                          "4: FLOCK  ADVISORY  WRITE 3 00:05:870 0 EOF\n")
            << QList<qint64>{};
        QTest::newRow("open file description lock, twice one process")
            << QByteArray("5: OFDLCK ADVISORY  READ  -1 00:05:87 0 EOF\n"
                          "6: FLOCK  ADVISORY  WRITE 9 00:05:87 0 EOF\n"
                          "7: POSIX  ADVISORY  READ  9 00:05:87 0 10\n")
            << QList<qint64>{9};
    }
    void lockingProcesses()
    {
        QFETCH(QByteArray, locks);
        QFETCH(QList<qint64>, expected);
        QCOMPARE(ProcessTable::lockingProcesses(locks, 0, 5, 87), expected);
    }

    // The node's group from stat(), its name and the user's groups from the fake database.
    void permissionFromNodeAndDatabase()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        const QByteArray path = pty.slavePath().toLocal8Bit();
        struct stat node {};
        QVERIFY(::chmod(path.constData(), 0660) == 0);
        QVERIFY(::stat(path.constData(), &node) == 0);
        // root's group is never one to join; where terminals belong to it, another.
        if (node.st_gid == 0 && ::chown(path.constData(), uid_t(-1), 4242) != 0)
            QSKIP("the terminal belongs to the group root and cannot be given another");
        QVERIFY(::stat(path.constData(), &node) == 0);
        const uint nodeGroup = node.st_gid;
        auto users = std::make_shared<FakeUsers>();
        users->groups = {{nodeGroup, "zugang"}};
        const uint stranger = uint(node.st_uid) + 1;
        const auto findings = [&](const QList<uint>& session, const QList<uint>& database) {
            users->user = {stranger, "erika", session, database};
            PortFactCollector::Sources sources;
            sources.users = users;
            return PortDiagnosis::findings(PortFactCollector(sources).collect(
                pty.slavePath(), PortFactCollector::Depth::quick));
        };
        const uint own = nodeGroup + 1; // a group that is not the node's
        QCOMPARE(findings({own}, {own}).value(0).text,
                 QStringLiteral("Keine Berechtigung – Sie sind nicht in der Gruppe „zugang“, der "
                                "%1 gehört.")
                     .arg(pty.slavePath()));
        QCOMPARE(findings({own}, {own, nodeGroup}).value(0).id,
                 QStringLiteral("not-in-group-session"));
        QCOMPARE(findings({own, nodeGroup}, {own, nodeGroup}), QList<Finding>());
    }

    void brlttyRuleNamesAdapter_data()
    {
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<bool>("names");
        QTest::newRow("product") << QByteArray("ENV{PRODUCT}==\"1a86/7523/*\", GOTO=\"run\"")
                                 << true;
        QTest::newRow("attributes")
            << QByteArray(
                   "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"1A86\", ATTRS{idProduct}==\"7523\"")
            << true;
        QTest::newRow("other product") << QByteArray("ENV{PRODUCT}==\"1a86/75230/*\"") << false;
        QTest::newRow("comment") << QByteArray("# ENV{PRODUCT}==\"1a86/7523/*\"") << false;
        QTest::newRow("vendor only") << QByteArray("ATTRS{idVendor}==\"1a86\"") << false;
    }
    void brlttyRuleNamesAdapter()
    {
        QFETCH(QByteArray, rules);
        QFETCH(bool, names);
        QCOMPARE(BrlttyRules::namesAdapter(rules, 0x1a86, 0x7523), names);
    }
};

QTEST_GUILESS_MAIN(TestSystemFacts)
#include "test_system_facts.moc"

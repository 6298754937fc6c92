// Facts from the running system: a pseudo-terminal held by a child process, its node's
// owner and group named by a user database of the test's making; and the readers of
// /proc/locks and of brltty's rules.
#include "FakeUsers.h"
#include "Pty.h"
#include "Support.h"
#include "serial/BrlttyRules.h"
#include "serial/PortFactCollector.h"

#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

class TestSystemFacts : public QObject {
    Q_OBJECT

private slots:
    void childProcessHoldsThePort()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        QProcess child;
        child.setStandardInputFile(pty.slavePath());
        child.start("sleep", {"600"});
        QVERIFY(child.waitForStarted(waitMs));
        struct stat node {};
        QVERIFY(::stat(pty.slavePath().toLocal8Bit().constData(), &node) == 0);
        auto users = std::make_shared<FakeUsers>();
        users->user = {uint(node.st_uid), "erika", {}, {}};
        users->groups = {{uint(node.st_gid), "zugang"}};
        PortFactCollector::Sources sources;
        sources.users = users;

        const PortFacts facts =
            PortFactCollector(sources).collect(pty.slavePath(), PortFactCollector::Depth::full);
        QCOMPARE(facts.nodeAttributes, (NodeAttributes{uint(node.st_uid), uint(node.st_gid),
                                                       "zugang", uint(node.st_mode & 07777)}));
        // The test's own descriptor is not among them.
        QCOMPARE(facts.holders, (QList<ProcessHolder>{{child.processId(), "sleep"}}));
        child.kill();
        child.waitForFinished(waitMs);
    }

    // The file is 00:05:87 (devtmpfs, inode 87).
    void lockingProcesses_data()
    {
        QTest::addColumn<QByteArray>("locks");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("flock") << QByteArray("1: FLOCK  ADVISORY  WRITE 4711 00:05:87 0 EOF\n")
                               << QList<qint64>{4711};
        QTest::newRow("other inode, other device, longer inode")
            << QByteArray("2: FLOCK  ADVISORY  WRITE 1 00:05:88 0 EOF\n"
                          "3: FLOCK  ADVISORY  WRITE 2 fe:00:87 0 EOF\n"
                          "4: FLOCK  ADVISORY  WRITE 3 00:05:870 0 EOF\n")
            << QList<qint64>{};
        QTest::newRow("a waiter, an open file description lock, twice one process")
            << QByteArray("1: -> POSIX  ADVISORY  WRITE 813 00:05:87 0 EOF\n"
                          "5: OFDLCK ADVISORY  READ  -1 00:05:87 0 EOF\n"
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

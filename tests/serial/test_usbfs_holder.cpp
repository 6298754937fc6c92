// The program behind a USB device held through usbfs, found in a fake /proc.
#include "serial/UsbfsHolder.h"

#include <QTemporaryDir>
#include <QtTest>

using Holder = std::optional<QString>;
Q_DECLARE_METATYPE(Holder)

class TestUsbfsHolder : public QObject {
    Q_OBJECT

private slots:
    void nodeIsNamedByBusAndDevice()
    {
        QCOMPARE(UsbfsHolder().nodePath(3, 5), QStringLiteral("/dev/bus/usb/003/005"));
        QCOMPARE(UsbfsHolder("/p", "/d").nodePath(12, 127), QStringLiteral("/d/bus/usb/012/127"));
        QCOMPARE(UsbfsHolder("/nonexistent/proc").holderOf(1, 1), Holder());
    }

    void holderOf_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("comm");
        QTest::addColumn<QString>("openFile"); // below the device root
        QTest::addColumn<Holder>("expected");
        const auto row = [](const char* tag, const char* folder, const char* comm, const char* file,
                            const Holder& expected) {
            QTest::newRow(tag) << folder << comm << file << expected;
        };
        row("holds the node", "4711", "prl_disp_service", "/bus/usb/003/005", "prl_disp_service");
        row("longer name", "4711", "brltty", "/bus/usb/003/0051", {});
        row("shorter name", "4711", "brltty", "/bus/usb/003/00", {});
        row("not a process", "net", "brltty", "/bus/usb/003/005", {});
        row("no command name", "4711", "", "/bus/usb/003/005", {});
    }

    void holderOf()
    {
        QFETCH(QString, folder);
        QFETCH(QString, comm);
        QFETCH(QString, openFile);
        QFETCH(Holder, expected);
        QTemporaryDir root;
        const QString proc = root.filePath("proc");
        const QString dev = root.filePath("dev");
        // A process whose descriptors cannot be read, and one with a terminal.
        QVERIFY(QDir().mkpath(proc + "/1"));
        QVERIFY(addProcess(proc + "/815", "bash", "/dev/pts/0"));
        QVERIFY(addProcess(proc + "/" + folder, comm, dev + openFile));
        QCOMPARE(UsbfsHolder(proc, dev).holderOf(3, 5), expected);
    }

private:
    // A process folder as /proc shows it, with one open descriptor.
    static bool addProcess(const QString& folder, const QString& comm, const QString& openFile)
    {
        QFile file(folder + "/comm");
        return QDir().mkpath(folder + "/fd") && file.open(QIODevice::WriteOnly) &&
               file.write(comm.toUtf8() + '\n') > 0 && QFile::link(openFile, folder + "/fd/7");
    }
};

QTEST_GUILESS_MAIN(TestUsbfsHolder)
#include "test_usbfs_holder.moc"

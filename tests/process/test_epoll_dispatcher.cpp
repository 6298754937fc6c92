// bildwartctl's epoll event loop: notifiers, timers and wake-ups as Qt's own loop has them.
#include "process/EpollEventDispatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <future>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// Both ends of a pipe, closed with it.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~Pipe() { closeBoth(); }
    void closeBoth()
    {
        for (int* fd : {&read, &write}) {
            if (*fd >= 0)
                ::close(std::exchange(*fd, -1));
        }
    }
    void put() const { QCOMPARE(::write(write, "x", 1), ssize_t(1)); }
};

// Turns the loop until `done`, bounded; whether it came.
bool turnUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    QTimer bound; // a wait may not outlast the bound even when nothing is ready
    bound.start(100);
    while (!done() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace

class EpollDispatcherTest : public QObject {
    Q_OBJECT
private slots:
    void readersWritersAndHangUps()
    {
        Pipe pipe;
        QSocketNotifier reader(pipe.read, QSocketNotifier::Read);
        QSocketNotifier writer(pipe.write, QSocketNotifier::Write);
        int reads = 0;
        int writes = 0;
        connect(&reader, &QSocketNotifier::activated, this, [&] { ++reads; });
        connect(&writer, &QSocketNotifier::activated, this, [&] {
            ++writes;
            writer.setEnabled(false); // a disabled notifier is not woken again
        });
        QVERIFY(turnUntil([&] { return writes == 1; }));
        QCOMPARE(reads, 0);
        pipe.put();
        QVERIFY(turnUntil([&] { return reads > 0; }));
        // The end of the stream wakes the reader as well.
        char byte;
        QCOMPARE(::read(pipe.read, &byte, 1), ssize_t(1));
        QCoreApplication::processEvents();
        reads = 0;
        ::close(std::exchange(pipe.write, -1));
        QVERIFY(turnUntil([&] { return reads > 0; }));
        QCOMPARE(writes, 1);
    }

    // A notifier deleted by another's slot in the same turn is not woken (a use after free
    // otherwise); a descriptor closed before its notifier went may come back as another.
    void notifiersGoneAndDescriptorsReused()
    {
        Pipe first;
        Pipe second;
        first.put();
        second.put();
        auto a = std::make_unique<QSocketNotifier>(first.read, QSocketNotifier::Read);
        auto b = std::make_unique<QSocketNotifier>(second.read, QSocketNotifier::Read);
        int woken = 0;
        connect(a.get(), &QSocketNotifier::activated, this, [&] { ++woken, b.reset(); });
        connect(b.get(), &QSocketNotifier::activated, this, [&] { ++woken, a.reset(); });
        QVERIFY(turnUntil([&] { return woken > 0; }));
        QCOMPARE(woken, 1);

        const int number = first.read;
        first.closeBoth();
        a.reset();
        b.reset();
        Pipe again;
        QCOMPARE(again.read, number);
        QSocketNotifier reused(again.read, QSocketNotifier::Read);
        bool heard = false;
        connect(&reused, &QSocketNotifier::activated, this, [&] { heard = true; });
        again.put();
        QVERIFY(turnUntil([&] { return heard; }));

        // A regular file, which epoll refuses, is ready at once, as poll() has it.
        QTemporaryFile file;
        QVERIFY(file.open());
        QSocketNotifier fileReader(file.handle(), QSocketNotifier::Read);
        bool fileHeard = false;
        connect(&fileReader, &QSocketNotifier::activated, this, [&] { fileHeard = true; });
        QVERIFY(turnUntil([&] { return fileHeard; }));
    }

    void timersInOrderAndExcludedNotifiersWait()
    {
        QStringList fired;
        QTimer::singleShot(300, this, [&] { fired << "late"; });
        QTimer::singleShot(5, this, [&] { fired << "early"; });
        QTimer zero;
        zero.setSingleShot(true);
        connect(&zero, &QTimer::timeout, this, [&] { fired << "zero"; });
        zero.start(0);
        QVERIFY(turnUntil([&] { return fired.size() == 3; }));
        QCOMPARE(fired, (QStringList{"zero", "early", "late"}));

        Pipe pipe;
        pipe.put();
        QSocketNotifier reader(pipe.read, QSocketNotifier::Read);
        bool heard = false;
        connect(&reader, &QSocketNotifier::activated, this, [&] { heard = true; });
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
        QVERIFY(!heard);
        QVERIFY(turnUntil([&] { return heard; }));
    }

    // An event posted from another thread ends a wait that has nothing else to wait for.
    void wokenFromAnotherThread()
    {
        std::promise<void> blocking;
        auto* dispatcher = QCoreApplication::eventDispatcher();
        const auto once = connect(
            dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            [&] { blocking.set_value(); }, Qt::SingleShotConnection);
        QEventLoop loop;
        std::thread poster([this, &loop, waiting = blocking.get_future()] {
            waiting.wait(); // posted while the loop goes to sleep, not before
            QMetaObject::invokeMethod(
                this, [&loop] { loop.exit(0); }, Qt::QueuedConnection);
        });
        QTimer::singleShot(10'000, &loop, [&loop] { loop.exit(1); }); // a lost wake-up
        const int ended = loop.exec();
        poster.join();
        disconnect(once);
        QVERIFY2(ended == 0, "woken by the bound, not by the posted event");
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setEventDispatcher(new EpollEventDispatcher);
    QCoreApplication app(argc, argv);
    EpollDispatcherTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_epoll_dispatcher.moc"

#pragma once

#include "simulator/DisplaySimulator.h"

#include <QEventLoop>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <future>
#include <memory>
#include <vector>

// Display simulators on a thread of their own with its own event loop: the far end of the
// line for a benchmark whose main thread waits (in poll(), in waitpid()) instead of running
// an event loop, as another program would be.
class SimulatorThread {
public:
    SimulatorThread(int count, bool loopback)
    {
        std::promise<QStringList> started;
        auto paths = started.get_future();
        m_thread.reset(QThread::create([this, count, loopback, &started] {
            std::vector<std::unique_ptr<DisplaySimulator>> simulators;
            QStringList devices;
            for (int i = 0; i < count; ++i) {
                simulators.push_back(
                    std::make_unique<DisplaySimulator>(DisplaySeries::qx, loopback));
                if (simulators.back()->start())
                    break;
                devices.append(simulators.back()->devicePath());
            }
            QEventLoop loop;
            m_loop.store(&loop);
            started.set_value(devices);
            loop.exec();
            m_loop.store(nullptr);
        }));
        m_thread->start();
        m_paths = paths.get();
    }
    ~SimulatorThread()
    {
        if (QEventLoop* loop = m_loop.load())
            QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
        m_thread->wait();
    }

    // One device per simulator; fewer when one could not start.
    const QStringList& devicePaths() const { return m_paths; }

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<QEventLoop*> m_loop{nullptr};
    QStringList m_paths;
};

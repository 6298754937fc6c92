#pragma once

#include "line/UniqueFd.h"
#include "protocol/DisplaySeries.h"
#include "simulator/SimulatedDisplay.h"

#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

class QSocketNotifier;

// A pseudo-terminal that behaves like a QX/RX display, or in loopback mode like a
// bridge plug that returns every byte. The program opens devicePath() like any serial
// device. It works on the event loop of the thread that started it, as the ports do:
// it reads what comes, answers, and what the other side has not read yet waits in a
// buffer of its own until the pseudo-terminal takes it, so a bridge plug loses no byte
// and nobody waits.
class DisplaySimulator {
public:
    DisplaySimulator(DisplaySeries series, bool loopback);
    ~DisplaySimulator();
    DisplaySimulator(const DisplaySimulator&) = delete;
    DisplaySimulator& operator=(const DisplaySimulator&) = delete;

    // Opens the pseudo-terminal and starts answering. Nothing: success, and devicePath()
    // names the slave; otherwise the errno. Does nothing while started.
    std::optional<int> start();
    // Stops answering and closes both sides. Harmless when stopped.
    void stop();

    // The slave's device path; empty until started.
    const QString& devicePath() const { return m_devicePath; }
    DisplaySeries series() const { return m_series; }
    bool loopback() const { return m_loopback; }
    bool isRunning() const { return m_master.isValid(); }

private:
    void readMaster();
    void answer(const QByteArray& bytes);
    void writeOut();
    void releaseStaleExclusiveUse();

    DisplaySeries m_series;
    bool m_loopback;
    QString m_devicePath;
    UniqueFd m_master;
    // Held open by the simulator so that the pseudo-terminal lives whether or not a
    // port is open on it; without it the master would see a hang-up.
    UniqueFd m_slaveKeepAlive;
    SimulatedDisplay m_display;
    QByteArray m_unsent;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    QTimer m_staleCheck;
};

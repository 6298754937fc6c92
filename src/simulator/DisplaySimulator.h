#pragma once

#include "line/SerialPortError.h"
#include "protocol/DisplaySeries.h"
#include "simulator/FdReader.h"
#include "simulator/SimulatedDisplay.h"

#include <QString>
#include <optional>

// A pseudo-terminal that behaves like a QX/RX display, or in loopback mode like a
// bridge plug that returns every byte. The program opens devicePath() with an
// ordinary SerialPort. Reading, emulation and answering run on a thread of the
// simulator's own, because it stands for a device at the far end of the line: it must
// go on answering while the program's main thread waits in a write (a loopback packet
// larger than the pseudo-terminal's buffer). It shares nothing with the program but the
// pseudo-terminal; creation, start() and stop() belong to the main thread.
class DisplaySimulator {
public:
    DisplaySimulator(DisplaySeries series, bool loopback);
    ~DisplaySimulator();
    DisplaySimulator(const DisplaySimulator&) = delete;
    DisplaySimulator& operator=(const DisplaySimulator&) = delete;

    // Opens the pseudo-terminal and starts answering. Empty result: success, and
    // devicePath() names the slave. Does nothing while started.
    std::optional<SerialPortError> start();
    // Stops answering and closes both sides. Harmless when stopped.
    void stop();

    // The slave's device path; empty until started.
    const QString& devicePath() const { return m_devicePath; }
    DisplaySeries series() const { return m_series; }
    bool loopback() const { return m_loopback; }
    bool isRunning() const { return m_master >= 0; }

private:
    bool readMaster();
    void answer(const QByteArray& bytes);
    void releaseStaleExclusiveUse();
    void closeDescriptors();

    DisplaySeries m_series;
    bool m_loopback;
    QString m_devicePath;
    int m_master = -1;
    // Held open by the simulator so that the pseudo-terminal lives whether or not a
    // port is open on it; without it the master would see a hang-up.
    int m_slaveKeepAlive = -1;
    // Touched only on the reader thread once started.
    SimulatedDisplay m_display;
    FdReader m_reader;
};

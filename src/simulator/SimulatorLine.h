#pragma once

#include "line/Line.h"
#include "simulator/DisplaySimulator.h"

#include <memory>

class SerialPort;

// A built-in simulator as a line: the simulator's pseudo-terminal, opened like any serial
// device, so that the whole chain (queue, handshake, parser, line tests) runs as it would
// against hardware.
class SimulatorLine final : public Line {
public:
    SimulatorLine(DisplaySeries series, bool loopback, SerialSettings settings);
    ~SimulatorLine() override;

    void open(OpenDone done) override;
    std::optional<LineError> apply(const SerialSettings& settings) override;
    std::optional<LineError> write(const QByteArray& bytes) override;
    void close() override;
    // The pseudo-terminal's device once started.
    QString name() const override;

private:
    DisplaySimulator m_simulator;
    SerialSettings m_settings;
    std::unique_ptr<SerialPort> m_port;
};

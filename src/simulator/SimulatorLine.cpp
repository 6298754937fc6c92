#include "simulator/SimulatorLine.h"

#include "line/tty/SerialPort.h"

#include <QCoreApplication>

SimulatorLine::SimulatorLine(DisplaySeries series, bool loopback, SerialSettings settings)
    : m_simulator(series, loopback)
    , m_settings(std::move(settings))
{
}

SimulatorLine::~SimulatorLine()
{
    close();
}

void SimulatorLine::open(OpenDone done)
{
    if (const auto error = m_simulator.start()) {
        done(LineError::of(LineError::Kind::simulatorFailed, QString(), *error));
        return;
    }
    if (const auto note = onNote)
        note(QCoreApplication::translate("SimulatorLine", "Simulator gestartet auf %1")
                 .arg(m_simulator.devicePath()));
    m_port = std::make_unique<SerialPort>(m_simulator.devicePath(), m_settings);
    m_port->onData = [this](const QByteArray& chunk) {
        if (const auto callback = onData)
            callback(chunk);
    };
    m_port->onError = [this](const LineError& error) {
        if (const auto callback = onError)
            callback(error);
    };
    if (const auto error = m_port->open()) {
        m_port.reset();
        m_simulator.stop();
        done(error);
        return;
    }
    done(std::nullopt);
}

std::optional<LineError> SimulatorLine::apply(const SerialSettings& settings)
{
    m_settings = settings;
    return m_port ? m_port->apply(settings) : std::nullopt;
}

std::optional<LineError> SimulatorLine::write(const QByteArray& bytes)
{
    if (!m_port)
        return LineError::of(LineError::Kind::notOpen, name());
    return m_port->write(bytes);
}

void SimulatorLine::close()
{
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    m_simulator.stop();
}

QString SimulatorLine::name() const
{
    return m_simulator.devicePath();
}

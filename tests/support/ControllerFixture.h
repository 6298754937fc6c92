#pragma once

#include "FakeLines.h"
#include "Support.h"
#include "TemporaryStore.h"
#include "TestClock.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/LineTester.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "controller/StoreWriter.h"
#include "controller/TrafficLog.h"
#include "discovery/HotplugSource.h"
#include "discovery/PortScanner.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortDoctor.h"
#include "line/LineAddress.h"

#include <QTest>
#include <memory>

using Kind = LogEntry::Kind;

// Ports that the test makes appear and vanish.
class TestPortScanner : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return ports; }
    QList<UnboundAdapter> scanAdapters() override { return adapters; }
    void list(const QString& path)
    {
        if (std::none_of(ports.begin(), ports.end(), [&](const auto& p) { return p.path == path; }))
            ports.append(
                {path, QStringLiteral("Testadapter"), path + QStringLiteral(" · USB"), false});
    }
    void unlist(const QString& path)
    {
        ports.removeIf([&](const SerialPortInfo& port) { return port.path == path; });
    }

    QList<SerialPortInfo> ports;
    QList<UnboundAdapter> adapters;
};

// Hot-plug events on cue, once the controller has started listening.
class TestHotplug : public HotplugSource {
public:
    void start() override { m_started = true; }
    void fire()
    {
        if (m_started && onChange)
            onChange();
    }

private:
    bool m_started = false;
};

// One cause for every failed open, the same facts for every port; nothing of this machine.
class TestPortDoctor : public PortDoctor {
public:
    QList<PortReport> examineAll() override { return {}; }
    PortReport examine(const QString& path, Depth, const QByteArray& received) override
    {
        PortFacts examined = facts;
        examined.port = path;
        examined.receivedAfterConnect = received;
        return {examined, PortDiagnosis::findings(examined)};
    }
    QString explainOpenFailure(const QString&, int) override { return cause; }

    QString cause;
    PortFacts facts;
};

// The controller with ports, hot-plug, lines and time under the test's control; with
// `realTime`, the system's clock and serial devices instead.
struct ControllerFixture {
    TemporaryStore store;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    std::shared_ptr<TestPortScanner> scanner = std::make_shared<TestPortScanner>();
    std::shared_ptr<TestHotplug> hotplug = std::make_shared<TestHotplug>();
    std::shared_ptr<TestPortDoctor> doctor = std::make_shared<TestPortDoctor>();
    FakeLines lines;
    bool realTime = false;
    std::unique_ptr<DisplayController> controller;
    // The edge to the store, as the application has it.
    std::unique_ptr<StoreWriter> writer;

    // A controller on what the store holds.
    DisplayController& make(bool connectAtStartup = false)
    {
        writer.reset();
        controller.reset();
        ControllerOptions options;
        options.connectAtStartup = connectAtStartup;
        options.scanner = scanner;
        options.hotplug = hotplug;
        options.doctor = doctor;
        if (!realTime) {
            options.clock = clock;
            options.makeLine = lines.maker();
        }
        controller = std::make_unique<DisplayController>(
            ControllerSettings::load(store.settings()).settings, options);
        writer = std::make_unique<StoreWriter>(*controller, store.settings());
        return *controller;
    }

    // Lists the port, as a scan finds a plugged adapter, and connects until the first command.
    DisplayController& connectTo(const QString& path)
    {
        if (!LineAddress::fromText(path).isSimulator())
            scanner->list(path);
        controller->ports().refresh();
        controller->ports().select(path);
        controller->connectLine();
        if (!realTime)
            clock->settle();
        return *controller;
    }

    // A fresh controller on a fake adapter answered by `display`, past its start-up queries.
    DisplayController& connected(FakeLines::Display display = answerEverything)
    {
        lines.display = std::move(display);
        make();
        connectTo(QStringLiteral("/dev/ttyUSB0"));
        clock->advance(1); // the fourteen start-up commands take 0.7 s
        return *controller;
    }

    bool idle() const { return controller->pump().isIdle(); }

    void setPolling(bool enabled, double interval)
    {
        controller->pump().setPolling({enabled, interval});
    }
    void changeTestOutput(const std::function<void(LineTester::TestOutput&)>& edit)
    {
        LineTester::TestOutput output = controller->tester().testOutput();
        edit(output);
        controller->tester().setTestOutput(output);
    }
    void setTestInterval(double seconds)
    {
        changeTestOutput([&](LineTester::TestOutput& output) { output.interval = seconds; });
    }
    const DisplayState& display() const { return controller->display().state(); }

    // Texts of the log entries (of one kind), oldest first.
    QStringList logTexts(std::optional<Kind> kind = std::nullopt) const
    {
        QStringList texts;
        for (const LogEntry& entry : controller->log().entries()) {
            if (!kind || entry.kind == *kind)
                texts.append(entry.text);
        }
        return texts;
    }
};

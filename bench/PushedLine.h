#pragma once

#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/PortList.h"
#include "controller/TrafficLog.h"
#include "line/Line.h"

// A line that the benchmark feeds by hand: what a display would send arrives through
// push(), without a device in between, so that only the controller's own work is measured.
class PushedLine final : public Line {
public:
    void open(OpenDone done) override { done(std::nullopt); }
    std::optional<LineError> apply(const SerialSettings&) override { return std::nullopt; }
    std::optional<LineError> write(const QByteArray&) override { return std::nullopt; }
    void close() override { onData = nullptr; }
    QString name() const override { return QStringLiteral("bench"); }

    void push(const QByteArray& bytes)
    {
        if (onData)
            onData(bytes);
    }
};

// A controller on a PushedLine, connected in raw mode (so that nothing is sent).
struct PushedController {
    PushedLine* line = nullptr;
    std::unique_ptr<DisplayController> controller;

    PushedController()
    {
        ControllerOptions options;
        options.connectAtStartup = false;
        options.watchHotplug = false;
        options.makeLine = [this](const LineAddress&, const SerialSettings&, DisplaySeries) {
            auto made = std::make_unique<PushedLine>();
            line = made.get();
            return std::unique_ptr<Line>(std::move(made));
        };
        controller = std::make_unique<DisplayController>(ControllerSettings(), options);
        controller->pump().setRawMode(true);
        controller->ports().select(QStringLiteral("/dev/bench"));
        controller->connectLine();
    }
};

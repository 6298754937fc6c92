#pragma once

#include "controller/DisplayController.h"
#include "serial/HotplugSource.h"
#include "serial/PortScanner.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Kind = LogEntry::Kind;

// Generous: CI is a noisy two-core machine, also under sanitizers.
inline constexpr int waitMs = 10000;
// The empty command, the four information and the nine status queries.
inline constexpr int startupCommandCount = 14;

// A clock the test moves by hand.
class TestClock : public Clock {
public:
    QDateTime now() const override { return m_now; }
    std::chrono::steady_clock::time_point monotonic() const override
    {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(m_elapsedMs));
    }
    void advance(double seconds)
    {
        const auto ms = qint64(seconds * 1000);
        m_now = m_now.addMSecs(ms);
        m_elapsedMs += ms;
    }

private:
    QDateTime m_now{QDate(2026, 12, 5), QTime(14, 3, 22, 105)};
    qint64 m_elapsedMs = 1'000'000;
};

// Ports that the test makes appear and vanish.
class TestPortScanner : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override { return ports; }
    QList<UnboundAdapter> scanAdapters() override { return adapters; }
    void list(const QString& path)
    {
        ports.append(
            {path, QStringLiteral("Testadapter"), path + QStringLiteral(" \u00B7 USB"), false});
    }
    void unlist(const QString& path)
    {
        ports.removeIf([&](const SerialPortInfo& port) { return port.path == path; });
    }

    QList<SerialPortInfo> ports;
    QList<UnboundAdapter> adapters;
};

// Hot-plug events on cue.
class TestHotplug : public HotplugSource {
public:
    void start() override {}
    void fire()
    {
        if (onChange)
            onChange();
    }
};

// A settings store in a temporary folder, never the user's own.
class TemporaryStore {
public:
    QSettings& settings() { return m_settings; }

private:
    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath("Bildwart.conf"), QSettings::IniFormat};
};

// The controller with a temporary store, a hand-moved clock (or the system's, where delays are
// measured or the simulators must see time pass), and ports and hot-plug under the test's control.
struct ControllerFixture {
    TemporaryStore store;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    std::shared_ptr<TestPortScanner> scanner = std::make_shared<TestPortScanner>();
    std::shared_ptr<TestHotplug> hotplug = std::make_shared<TestHotplug>();
    bool systemClock = false;
    std::unique_ptr<DisplayController> controller;

    DisplayController& make(bool connectAtStartup = false)
    {
        controller.reset();
        ControllerOptions options;
        options.connectAtStartup = connectAtStartup;
        if (!systemClock)
            options.clock = clock;
        options.scanner = scanner;
        options.hotplug = hotplug;
        controller = std::make_unique<DisplayController>(store.settings(), options);
        return *controller;
    }

    // Lists the port, as the scan finds a plugged adapter, and connects to it.
    DisplayController& connectTo(const QString& path)
    {
        if (!SerialPortInfo::isSimulatorPath(path))
            scanner->list(path);
        controller->setSelectedPath(path);
        controller->connect();
        return *controller;
    }

    // At least `sent` commands went out, and nothing is queued or waits for its prompt.
    bool idle(int sent = startupCommandCount) const
    {
        return logTexts(Kind::tx).size() >= sent && controller->queue().isEmpty() &&
               !controller->current();
    }
    bool waitUntilIdle(int sent = startupCommandCount)
    {
        return QTest::qWaitFor([&] { return idle(sent); }, waitMs);
    }

    // Texts of the log entries (of one kind), oldest first.
    QStringList logTexts(std::optional<Kind> kind = std::nullopt) const
    {
        QStringList texts;
        for (const LogEntry& entry : controller->log()) {
            if (!kind || entry.kind == *kind)
                texts.append(entry.text);
        }
        return texts;
    }
};

inline std::unique_ptr<DisplayController> makeController(QSettings& store)
{
    ControllerOptions options;
    options.connectAtStartup = false;
    options.clock = std::make_shared<TestClock>();
    options.scanner = std::make_shared<TestPortScanner>();
    options.hotplug = std::make_shared<TestHotplug>();
    return std::make_unique<DisplayController>(store, options);
}

#pragma once

#include "FakeDevices.h"
#include "TestClock.h"
#include "controller/DisplayController.h"

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

// A settings store in a temporary folder, never the user's own.
class TemporaryStore {
public:
    TemporaryStore()
        : m_settings(m_dir.filePath("Bildwart.conf"), QSettings::IniFormat)
    {
    }
    QSettings& settings() { return m_settings; }

private:
    QTemporaryDir m_dir;
    QSettings m_settings;
};

// The controller with a temporary store, a hand-moved clock, and ports and hot-plug
// events under the test's control.
struct ControllerFixture {
    TemporaryStore store;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    std::shared_ptr<TestPortScanner> scanner = std::make_shared<TestPortScanner>();
    std::shared_ptr<TestHotplug> hotplug = std::make_shared<TestHotplug>();
    std::unique_ptr<DisplayController> controller;

    DisplayController& make(bool connectAtStartup = false)
    {
        controller.reset();
        ControllerOptions options;
        options.connectAtStartup = connectAtStartup;
        options.clock = clock;
        options.scanner = scanner;
        options.hotplug = hotplug;
        controller = std::make_unique<DisplayController>(store.settings(), options);
        return *controller;
    }

    // Texts of the log entries of one kind, oldest first.
    QStringList logTexts(LogEntry::Kind kind) const
    {
        QStringList texts;
        for (const LogEntry& entry : controller->log()) {
            if (entry.kind == kind)
                texts.append(entry.text);
        }
        return texts;
    }
    QStringList logTexts() const
    {
        QStringList texts;
        for (const LogEntry& entry : controller->log())
            texts.append(entry.text);
        return texts;
    }
};

inline std::unique_ptr<DisplayController> makeController(QSettings& store,
                                                         std::shared_ptr<TestClock> clock = {})
{
    ControllerOptions options;
    options.connectAtStartup = false;
    options.clock = clock ? clock : std::make_shared<TestClock>();
    options.scanner = std::make_shared<TestPortScanner>();
    options.hotplug = std::make_shared<TestHotplug>();
    return std::make_unique<DisplayController>(store, options);
}

#pragma once

#include "TestClock.h"
#include "controller/DisplayController.h"

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

// A settings store in a temporary folder, never the user's own.
class TemporaryStore {
public:
    TemporaryStore() : m_settings(m_dir.filePath("Bildwart.conf"), QSettings::IniFormat) {}
    QSettings& settings() { return m_settings; }

private:
    QTemporaryDir m_dir;
    QSettings m_settings;
};

inline std::unique_ptr<DisplayController> makeController(QSettings& store,
                                                         std::shared_ptr<TestClock> clock = {})
{
    ControllerOptions options;
    options.connectAtStartup = false;
    options.clock = clock ? clock : std::make_shared<TestClock>();
    return std::make_unique<DisplayController>(store, options);
}

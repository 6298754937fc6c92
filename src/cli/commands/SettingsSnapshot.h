#pragma once

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

// The user's Bildwart settings, copied into a private store in a temporary folder.
// Every setter of the controller persists its value; on this copy nothing it writes
// (a remembered port, an overridden baud rate) can reach the user's own file.
class SettingsSnapshot {
public:
    SettingsSnapshot();
    SettingsSnapshot(const SettingsSnapshot&) = delete;
    SettingsSnapshot& operator=(const SettingsSnapshot&) = delete;

    // False when no temporary folder could be made; store() must not be used then.
    bool isValid() const { return m_store != nullptr; }
    QString errorText() const { return m_directory.errorString(); }
    QSettings& store() { return *m_store; }

private:
    // Declared first, so that the store is written and closed before the folder goes.
    QTemporaryDir m_directory;
    std::unique_ptr<QSettings> m_store;
};

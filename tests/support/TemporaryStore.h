#pragma once

#include <QSettings>
#include <QTemporaryDir>

// A settings store in a temporary folder, never the user's own.
class TemporaryStore {
public:
    QSettings& settings() { return m_settings; }
    QString path() const { return m_dir.filePath(QStringLiteral("Bildwart.conf")); }

private:
    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(QStringLiteral("Bildwart.conf")), QSettings::IniFormat};
};

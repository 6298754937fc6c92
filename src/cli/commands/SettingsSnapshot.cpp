#include "cli/commands/SettingsSnapshot.h"

SettingsSnapshot::SettingsSnapshot()
{
    if (!m_directory.isValid())
        return;
    m_store = std::make_unique<QSettings>(m_directory.filePath(QStringLiteral("Bildwart.conf")),
                                          QSettings::IniFormat);
    // Read only: a QSettings writes its file only when a value was set on it.
    const QSettings user(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvorn"),
                         QStringLiteral("Bildwart"));
    for (const QString& key : user.allKeys())
        m_store->setValue(key, user.value(key));
}

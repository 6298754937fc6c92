#pragma once

#include <QDateTime>
#include <QString>

// "261205_1403_Bildwart_Terminal.txt" for the given local time.
QString proposedExportFileName(const QDateTime& now);

// Writes the text as UTF-8, replacing the file atomically. Returns whether it worked; on a
// failure, `error` (if given) receives the reason.
bool writeExportFile(const QString& path, const QString& text, QString* error = nullptr);

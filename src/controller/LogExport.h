#pragma once

#include <QDateTime>
#include <QString>

// "261205_1403_Bildwart_Terminal.txt" for the given local time.
QString proposedExportFileName(const QDateTime& now);

// Writes the text as UTF-8, replacing the file atomically. Returns whether it worked;
// the terminal ignores a failure, as the log stays as it is.
bool writeExportFile(const QString& path, const QString& text);

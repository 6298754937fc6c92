#include "controller/LogExport.h"

#include <QSaveFile>

QString proposedExportFileName(const QDateTime& now)
{
    return now.toLocalTime().toString(QStringLiteral("yyMMdd_HHmm")) +
           QStringLiteral("_Bildwart_Terminal.txt");
}

bool writeExportFile(const QString& path, const QString& text, QString* error)
{
    QSaveFile file(path);
    const QByteArray utf8 = text.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(utf8) == utf8.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

#include "controller/LogExport.h"

#include <QSaveFile>

QString proposedExportFileName(const QDateTime& now)
{
    return now.toLocalTime().toString(QStringLiteral("yyMMdd_HHmm")) +
           QStringLiteral("_Bildwart_Terminal.txt");
}

bool writeExportFile(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray utf8 = text.toUtf8();
    if (file.write(utf8) != utf8.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

#pragma once

#include <QByteArray>
#include <QString>

// File names on Linux are bytes, not text. A name that is no valid UTF-8 would lose its
// odd bytes in Qt's conversion, and the device could never be opened again. These keep
// every byte: valid UTF-8 becomes its characters, every other byte one of the code
// points U+DC80…U+DCFF (which no valid text contains alone), and back.
QString decodePath(const QByteArray& bytes);
QByteArray encodePath(const QString& path);

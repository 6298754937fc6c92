#pragma once

#include <QByteArray>
#include <QString>

// Where the tool writes: results on stdout, errors and the -v log on stderr. Every
// line goes out at once, so that a pipe or a log file follows a running monitor.
class Console {
public:
    void out(const QString& line);
    void outBytes(const QByteArray& bytes);
    void err(const QString& line);
};

#include "cli/Console.h"

#include <cstdio>

namespace {

void writeAll(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void Console::out(const QString& line)
{
    writeAll(stdout, (line + u'\n').toUtf8());
}

void Console::outBytes(const QByteArray& bytes)
{
    writeAll(stdout, bytes);
}

void Console::err(const QString& line)
{
    writeAll(stderr, (line + u'\n').toUtf8());
}

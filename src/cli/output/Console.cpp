#include "cli/output/Console.h"

#include "line/LineError.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>

namespace {

// The errno of a failed write, or 0.
int writeAll(std::FILE* stream, const QByteArray& bytes)
{
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) ==
                             std::size_t(bytes.size()) &&
                         std::fflush(stream) == 0;
    if (written)
        return 0;
    std::clearerr(stream);
    return errno != 0 ? errno : EIO;
}

} // namespace

Console::Console(bool stdoutUsable)
    : m_outputError(stdoutUsable ? 0 : EBADF)
{
}

void Console::out(const QString& line)
{
    outBytes((line + u'\n').toUtf8());
}

void Console::outBytes(const QByteArray& bytes)
{
    if (m_outputError == 0)
        m_outputError = writeAll(stdout, bytes);
    if (m_outputError != 0 && !m_failureReported) {
        m_failureReported = true;
        if (onOutputFailed)
            onOutputFailed();
    }
}

void Console::err(const QString& line)
{
    // Nowhere left to report a failure of stderr itself.
    [[maybe_unused]] const int error = writeAll(stderr, (line + u'\n').toUtf8());
}

QString Console::outputErrorText() const
{
    return QCoreApplication::translate("Console", "Die Ausgabe ließ sich nicht schreiben: %1")
        .arg(systemErrorText(m_outputError));
}

#include "cli/output/Console.h"

#include "line/LineError.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

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

QString visibleText(const QString& text)
{
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7f && u <= 0x9f);
    };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!isControl(c))
            shown += c;
        else if (c == u'\0')
            shown += QStringLiteral("\\0");
        else if (c == u'\r')
            shown += QStringLiteral("\\r");
        else
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
    }
    return shown;
}

Console::Console(bool stdoutUsable)
    : m_outputError(stdoutUsable ? 0 : EBADF)
    , m_outIsTerminal(stdoutUsable && ::isatty(STDOUT_FILENO) == 1)
{
}

Console::Console(Keeping) {}

void Console::out(const QString& line)
{
    outBytes((visibleText(line) + u'\n').toUtf8());
}

void Console::outJson(const QJsonObject& object)
{
    outBytes(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void Console::outJson(const QJsonArray& array)
{
    outBytes(QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n');
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
    [[maybe_unused]] const int error = writeAll(stderr, (visibleText(line) + u'\n').toUtf8());
}

QString Console::outputErrorText() const
{
    return QCoreApplication::translate("Console", "Die Ausgabe ließ sich nicht schreiben: %1")
        .arg(systemErrorText(m_outputError));
}

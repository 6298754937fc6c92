#include "ScriptedDisplay.h"

#include <fcntl.h>
#include <unistd.h>

ScriptedDisplay::ScriptedDisplay(int fd, Script script)
    : m_fd(fd)
    , m_script(std::move(script))
    , m_notifier(fd, QSocketNotifier::Read)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readLines(); });
}

void ScriptedDisplay::readLines()
{
    char buffer[1024];
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count <= 0)
        return;
    for (const QString& line : m_commandLines.feed(QByteArrayView(buffer, count))) {
        lines.append(line);
        const QByteArray answer = m_script ? m_script(line) : QByteArray();
        if (!answer.isEmpty())
            (void)!::write(m_fd, answer.constData(), size_t(answer.size()));
    }
}

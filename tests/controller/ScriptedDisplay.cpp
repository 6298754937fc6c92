#include "ScriptedDisplay.h"

#include <QTimer>
#include <unistd.h>

void ScriptedDisplay::readMaster()
{
    char buffer[1024];
    const ssize_t count = ::read(m_pty.master(), buffer, sizeof buffer);
    if (count <= 0)
        return;
    received.append(buffer, count);
    for (ssize_t i = 0; i < count; ++i) {
        const char c = buffer[i];
        if (c == '\r' || c == '\n') {
            // CR LF ends one line, not two.
            if (c == '\n' && m_lastWasCr) {
                m_lastWasCr = false;
                continue;
            }
            m_lastWasCr = c == '\r';
            handleLine(QString::fromUtf8(m_line));
            m_line.clear();
        } else {
            m_lastWasCr = false;
            m_line.append(c);
        }
    }
}

void ScriptedDisplay::handleLine(const QString& line)
{
    if (m_pending > 0)
        overlapped = true;
    lines.append(line);
    emit lineReceived(line);
    if (!m_script)
        return;
    const QByteArray answer = m_script(line);
    if (answer.isEmpty())
        return;
    ++m_pending;
    QTimer::singleShot(m_answerDelayMs, this, [this, answer] {
        --m_pending;
        write(answer);
    });
}

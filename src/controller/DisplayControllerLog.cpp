// The traffic log: appending with its cap, clearing with the counters.
#include "controller/DisplayController.h"

void DisplayController::appendLog(LogEntry::Kind kind, const QString& text, const QByteArray& bytes)
{
    const int removed = m_log.append({QUuid::createUuid(), now(), kind, text, bytes});
    if (removed > 0)
        emit logRemovedFromFront(removed);
    emit logAppended(1);
}

void DisplayController::clearLog()
{
    if (!m_log.isEmpty()) {
        m_log.clear();
        emit logCleared();
    }
    update(m_txCount, qint64(0), &DisplayController::txCountChanged);
    update(m_rxCount, qint64(0), &DisplayController::rxCountChanged);
    update(m_timeouts, 0, &DisplayController::timeoutsChanged);
}

// The traffic log: appending with its cap, clearing with the counters.
#include "controller/DisplayController.h"

#include "line/Line.h"
#include "protocol/HexBytes.h"

void DisplayController::appendLog(LogEntry::Kind kind, const QString& text, const QByteArray& bytes,
                                  bool poll)
{
    const int removed =
        m_log.append({QUuid::createUuid(), m_clock->now(), kind, text, bytes, poll});
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

void DisplayController::addTxCount(qint64 bytes)
{
    update(m_txCount, m_txCount + bytes, &DisplayController::txCountChanged);
}

void DisplayController::sendRaw(const QByteArray& bytes, const std::optional<QString>& text)
{
    if (!m_line) {
        appendLog(LogEntry::Kind::error, QStringLiteral("Nicht verbunden."));
        return;
    }
    // Bytes of a failed write are neither counted nor logged as sent, even when part
    // of them went out.
    if (const auto error = m_line->write(bytes)) {
        handleWriteError(*error);
        return;
    }
    addTxCount(bytes.size());
    appendLog(LogEntry::Kind::tx, text.value_or(LogEntry::printable(bytes)), bytes);
}

void DisplayController::sendHex(const QString& text)
{
    const auto bytes = parseHexBytes(text);
    if (!bytes) {
        appendLog(LogEntry::Kind::error, QStringLiteral("Ung\u00FCltige Hex-Eingabe: ") + text);
        return;
    }
    sendRaw(*bytes);
}

void DisplayController::setShowHex(bool on)
{
    update(m_showHex, on, &DisplayController::showHexChanged);
}

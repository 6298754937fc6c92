// The command queue and the raw-mode switch.
#include "controller/DisplayController.h"

void DisplayController::setRawMode(bool on)
{
    if (on == m_rawMode)
        return;
    m_rawMode = on;
    if (on) {
        update(m_queue, {}, &DisplayController::queueChanged);
        update(m_current, std::optional<SmartCommand>(), &DisplayController::currentChanged);
    }
    emit rawModeChanged();
    appendLog(LogEntry::Kind::info,
              on ? QStringLiteral(
                       "Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine SMART-Abfragen")
                 : QStringLiteral("SMART-Modus: Befehle warten auf den Prompt \u201E>\u201C"));
}

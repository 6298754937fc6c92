#include "cli/output/KeptConsole.h"

KeptConsole::KeptConsole(Console& through, QString label)
    : Console(Keeping{})
    , m_through(through)
    , m_label(std::move(label))
{
}

void KeptConsole::log(const QString& line)
{
    m_through.log(m_label + QStringLiteral(": ") + line);
}

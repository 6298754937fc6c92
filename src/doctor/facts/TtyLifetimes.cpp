#include "doctor/facts/TtyLifetimes.h"

namespace {

// Ttys whose removal never came (missed events) must not pile up; nor adapters.
constexpr qsizetype maxBirths = 64;
constexpr qsizetype maxShortLived = 16;

} // namespace

void TtyLifetimes::appeared(const QString& syspath, UsbId adapter, double now)
{
    if (m_births.size() >= maxBirths && !m_births.contains(syspath))
        m_births.clear();
    m_births.insert(syspath, {adapter, now});
}

void TtyLifetimes::vanished(const QString& syspath, double now)
{
    const auto birth = m_births.constFind(syspath);
    if (birth == m_births.cend())
        return;
    const Birth born = *birth;
    m_births.erase(birth);
    if (now - born.time >= shortLifeSeconds)
        return;
    m_shortLived.removeAll(born.adapter);
    m_shortLived.append(born.adapter);
    if (m_shortLived.size() > maxShortLived)
        m_shortLived.removeFirst();
}

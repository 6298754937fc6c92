#include "doctor/SystemPortDoctor.h"

#include "doctor/PortDiagnosis.h"

#include <cerrno>

SystemPortDoctor::SystemPortDoctor(std::function<QList<UsbId>()> shortLived,
                                   PortFactCollector::Sources sources)
    : m_shortLived(std::move(shortLived))
    , m_sources(std::move(sources))
{
}

PortFactCollector SystemPortDoctor::collector() const
{
    PortFactCollector::Sources sources = m_sources;
    if (m_shortLived)
        sources.shortLived = m_shortLived();
    return PortFactCollector(sources);
}

QList<PortReport> SystemPortDoctor::examineAll()
{
    QList<PortReport> reports;
    for (PortFacts& facts : collector().collectAll(PortFactCollector::Depth::full))
        reports.append({facts, PortDiagnosis::findings(facts)});
    return reports;
}

PortReport SystemPortDoctor::examine(const QString& path, Depth depth, const QByteArray& received)
{
    PortFacts facts = collector().collect(path, depth);
    facts.receivedAfterConnect = received;
    return {facts, PortDiagnosis::findings(facts)};
}

QString SystemPortDoctor::explainOpenFailure(const QString& path, int errnum)
{
    // Only a busy port needs to know who has it open; the rest is cheap.
    const Depth depth = errnum == EBUSY ? Depth::full : Depth::quick;
    return PortDiagnosis::openFailureNote(collector().collect(path, depth), errnum);
}

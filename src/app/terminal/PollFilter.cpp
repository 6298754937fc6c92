#include "app/terminal/PollFilter.h"

#include "app/terminal/LogModel.h"

PollFilter::PollFilter(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void PollFilter::setHidesPolls(bool on)
{
    if (m_hidesPolls == on)
        return;
    m_hidesPolls = on;
    invalidateRowsFilter();
}

bool PollFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (!m_hidesPolls)
        return true;
    return !sourceModel()->index(sourceRow, 0, sourceParent).data(LogModel::PollRole).toBool();
}

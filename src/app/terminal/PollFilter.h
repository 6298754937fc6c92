#pragma once

#include <QSortFilterProxyModel>

// The log as the terminal shows it: everything, or without the rows of the poll cycle (its
// queries, their answers and timeouts), which would otherwise push the user's own commands out
// of sight. Only the view is filtered; the log and its export keep every entry.
class PollFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit PollFilter(QObject* parent = nullptr);

    bool hidesPolls() const { return m_hidesPolls; }
    void setHidesPolls(bool on);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool m_hidesPolls = false;
};

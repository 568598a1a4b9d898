#pragma once

#include "sortkeys.h"

#include <QSortFilterProxyModel>

#include <vector>

class CallListModel;

// Sorts the result list for display by the clicked column's meaning rather than its text.
// The keys of the sorted column are worked out once per sort, not once per comparison.
class CallListProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CallListProxy(CallListModel* source, QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    void invalidateKeys() { keysColumn_ = -1; }

    CallListModel* source_;
    mutable std::vector<SortKey> keys_;
    mutable int keysColumn_ = -1;
};

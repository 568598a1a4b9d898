#include "calllistproxy.h"

#include "calllistmodel.h"

CallListProxy::CallListProxy(CallListModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
    setSourceModel(source);
    connect(source, &QAbstractItemModel::modelReset, this, &CallListProxy::invalidateKeys);
    connect(source, &QAbstractItemModel::rowsInserted, this, &CallListProxy::invalidateKeys);
    connect(source, &QAbstractItemModel::dataChanged, this, &CallListProxy::invalidateKeys);
}

bool CallListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const int column = left.column();
    if (keysColumn_ != column || keys_.size() != static_cast<size_t>(source_->count())) {
        keys_.clear();
        keys_.reserve(static_cast<size_t>(source_->count()));
        for (int row = 0; row < source_->count(); ++row)
            keys_.push_back(SortKeyForColumn(column, source_->text(row, column)));
        keysColumn_ = column;
    }
    return keys_[static_cast<size_t>(left.row())] < keys_[static_cast<size_t>(right.row())];
}

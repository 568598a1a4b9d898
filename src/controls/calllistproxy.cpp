#include "calllistproxy.h"

#include "calllistmodel.h"
#include "sortkeys.h"

#include <algorithm>
#include <numeric>

CallListProxy::CallListProxy(CallListModel* source, QObject* parent)
    : QAbstractProxyModel(parent), source_(source) {
    QAbstractProxyModel::setSourceModel(source);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
            &CallListProxy::beginResetModel);
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        order_.clear();
        inverse_.clear();
        endResetModel();
    });
    // Rows come at the end. Unsorted they appear there; sorted they take their places, which
    // moves everything, so the view starts afresh.
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (sortColumn_ < 0)
                    beginInsertRows({}, first, last);
                else
                    beginResetModel();
            });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this] {
        if (sortColumn_ < 0) {
            endInsertRows();
            return;
        }
        order_ = sortedOrder();
        inverse_.clear();
        endResetModel();
    });
}

QModelIndex CallListProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex CallListProxy::parent(const QModelIndex&) const {
    return {};
}

int CallListProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : source_->rowCount();
}

int CallListProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : source_->columnCount();
}

int CallListProxy::sourceRow(int proxyRow) const {
    return order_.empty() ? proxyRow : order_[size_t(proxyRow)];
}

int CallListProxy::proxyRow(int sourceRow) const {
    if (order_.empty())
        return sourceRow;
    if (inverse_.size() != order_.size()) {
        inverse_.assign(order_.size(), 0);
        for (size_t shown = 0; shown < order_.size(); ++shown)
            inverse_[size_t(order_[shown])] = int(shown);
    }
    return inverse_[size_t(sourceRow)];
}

QVariant CallListProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && section >= 0 && section < rowCount())
        section = sourceRow(section);
    return source_->headerData(section, orientation, role);
}

QModelIndex CallListProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount())
        return {};
    return source_->index(sourceRow(proxyIndex.row()), proxyIndex.column());
}

QModelIndex CallListProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.row() >= rowCount())
        return {};
    return index(proxyRow(sourceIndex.row()), sourceIndex.column());
}

std::vector<int> CallListProxy::sortedOrder() const {
    if (sortColumn_ < 0)
        return {};
    const int rows = source_->count();
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    // One key per row, from the numbers the list keeps: no comparison parses a text.
    std::vector<SortKey> keys(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row)
        keys[size_t(row)] = SortKeyFor(*source_, row, sortColumn_);
    const int column = sortColumn_;
    const auto less = [&](int a, int b) {
        const SortKey& left = keys[size_t(a)];
        const SortKey& right = keys[size_t(b)];
        if (left < right)
            return true;
        if (right < left)
            return false;
        return CompareEqualKeys(*source_, a, b, column, left) < 0;
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
    return order;
}

void CallListProxy::applyOrder(std::vector<int> order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> sourceRows;
    sourceRows.reserve(before.size());
    for (const QModelIndex& shown : before)
        sourceRows << sourceRow(shown.row());
    order_ = std::move(order);
    inverse_.clear();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(proxyRow(sourceRows[i]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CallListProxy::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column >= 0 && column < columnCount() ? column : -1;
    sortOrder_ = order;
    applyOrder(sortedOrder());
}

#pragma once

#include <QAbstractProxyModel>

#include <vector>

class CallListModel;

// Shows the result list sorted by the clicked column's meaning rather than its text, or in the
// order the rows were listed. Unsorted it maps every row to itself and keeps nothing per row;
// sorted it keeps one order of the rows, worked out from keys that take one pass over the list.
// The list only ever grows at its end or is cleared.
class CallListProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit CallListProxy(CallListModel* source, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    // A column of -1 shows the rows in the order they were listed.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    int sourceRow(int proxyRow) const;
    int proxyRow(int sourceRow) const;
    std::vector<int> sortedOrder() const;
    // Puts the rows in the given order, keeping selections and the current row on their rows.
    void applyOrder(std::vector<int> order);

    CallListModel* source_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::vector<int> order_;           // proxy row -> source row; empty while unsorted
    mutable std::vector<int> inverse_; // source row -> proxy row, built when first needed
};

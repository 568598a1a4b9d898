#include "calllistmodel.h"

#include "textforms.h"

#include <cmath>

const QString& CallRow::column(int index) const {
    switch (index) {
    case 0:
        return callFrom;
    case 1:
        return callTo;
    case 2:
        return startTime;
    default:
        return duration;
    }
}

QString& CallRow::column(int index) {
    return const_cast<QString&>(static_cast<const CallRow&>(*this).column(index));
}

CallListModel::CallListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CallListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int CallListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CallListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || index.column() >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return row(index.row()).column(index.column());
    return {};
}

QStringList CallListModel::headers() {
    return {QStringLiteral("Call From"), QStringLiteral("Call To"), QStringLiteral("Start Time"),
            QStringLiteral("Duration")};
}

QVariant CallListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return headers().at(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void CallListModel::clear() {
    if (rows_.empty())
        return;
    beginResetModel();
    ++revision_;
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

int CallListModel::addRow() {
    const int index = count();
    beginInsertRows({}, index, index);
    ++revision_;
    rows_.emplace_back();
    endInsertRows();
    return index;
}

void CallListModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= count() || column < 0 || column >= kColumnCount)
        return;
    ++revision_;
    rows_[static_cast<size_t>(row)].column(column) = text;
    emit dataChanged(index(row, column), index(row, column));
}

QString CallListModel::text(int row, int column) const {
    if (row < 0 || row >= count() || column < 0 || column >= kColumnCount)
        return {};
    return this->row(row).column(column);
}

void CallListModel::appendRows(std::vector<CallRow>&& rows) {
    if (rows.empty())
        return;
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    ++revision_;
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.end()));
    }
    endInsertRows();
}

qint64 CallListModel::talkSeconds() const {
    double total = 0;
    for (const CallRow& call : rows_) {
        if (const auto seconds = TextForms::DurationSeconds(call.duration); seconds && *seconds > 0)
            total += *seconds;
    }
    return qint64(std::floor(total));
}

#include "calllistmodel.h"

#include "textforms.h"

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
    if (role == Qt::DisplayRole) {
        // Numbers come from outside: what reorders or hides text is shown as itself.
        return index.column() < 2 ? TextForms::VisibleText(text(index.row(), index.column()))
                                  : text(index.row(), index.column());
    }
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
    rows_.clear();
    endResetModel();
}

QString CallListModel::text(int row, int column) const {
    if (row < 0 || row >= count() || column < 0 || column >= kColumnCount)
        return {};
    switch (column) {
    case 0:
        return QString::fromUtf8(rows_.callFrom(row));
    case 1:
        return QString::fromUtf8(rows_.callTo(row));
    case 2: {
        const qint64 start = rows_.start(row);
        if (start == CallRows::kStartIsText)
            return rows_.startText(row);
        return start == CallRows::kNoStart ? QString() : TextForms::StartTimeText(start);
    }
    default: {
        const qint32 duration = rows_.duration(row);
        if (duration == CallRows::kDurationIsText)
            return rows_.durationText(row);
        return duration == CallRows::kNoDuration ? QString() : TextForms::DurationText(duration);
    }
    }
}

CallRow CallListModel::row(int index) const {
    return CallRow{text(index, 0), text(index, 1), text(index, 2), text(index, 3)};
}

void CallListModel::appendRows(CallRows&& rows) {
    if (rows.empty())
        return;
    const int first = count();
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    rows_.append(std::move(rows));
    endInsertRows();
}

std::optional<double> CallListModel::durationSeconds(int row) const {
    return rows_.durationSeconds(row);
}

qint64 CallListModel::talkSeconds() const {
    return rows_.talkSeconds();
}

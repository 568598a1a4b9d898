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

void StoreStartText(CallRows& rows, qsizetype row, const QString& text) {
    if (text.isEmpty())
        rows.setStart(row, CallRows::kNoStart);
    else if (const auto seconds = TextForms::StartSecondsFromListText(text))
        rows.setStart(row, *seconds);
    else
        rows.setStart(row, CallRows::kStartIsText, text);
}

void StoreDurationText(CallRows& rows, qsizetype row, const QString& text) {
    if (text.isEmpty())
        rows.setDuration(row, CallRows::kNoDuration);
    else if (const auto seconds = TextForms::ExactDurationSeconds(QStringView(text)))
        rows.setDuration(row, *seconds);
    else
        rows.setDuration(row, CallRows::kDurationIsText, text);
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
        return text(index.row(), index.column());
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
    endResetModel();
}

int CallListModel::addRow() {
    const int index = count();
    beginInsertRows({}, index, index);
    ++revision_;
    rows_.append({}, {}, CallRows::kNoStart, CallRows::kNoDuration);
    endInsertRows();
    return index;
}

void CallListModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= count() || column < 0 || column >= kColumnCount)
        return;
    ++revision_;
    switch (column) {
    case 0:
    case 1:
        rows_.setNumber(row, column, text.toUtf8());
        break;
    case 2:
        StoreStartText(rows_, row, text);
        break;
    default:
        StoreDurationText(rows_, row, text);
    }
    emit dataChanged(index(row, column), index(row, column));
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

void CallListModel::appendRows(std::vector<CallRow>&& rows) {
    CallRows held;
    held.reserve(qsizetype(rows.size()));
    for (const CallRow& call : rows) {
        const qsizetype row = held.size();
        held.append(call.callFrom.toUtf8(), call.callTo.toUtf8(), CallRows::kNoStart,
                    CallRows::kNoDuration);
        StoreStartText(held, row, call.startTime);
        StoreDurationText(held, row, call.duration);
    }
    appendRows(std::move(held));
}

void CallListModel::appendRows(CallRows&& rows) {
    if (rows.empty())
        return;
    const int first = count();
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    ++revision_;
    rows_.append(std::move(rows));
    endInsertRows();
}

std::optional<double> CallListModel::durationSeconds(int row) const {
    const qint32 duration = rows_.duration(row);
    if (duration == CallRows::kDurationIsText)
        return TextForms::DurationSeconds(rows_.durationText(row));
    if (duration == CallRows::kNoDuration)
        return std::nullopt;
    return double(duration);
}

qint64 CallListModel::talkSeconds() const {
    double total = 0;
    for (int row = 0; row < count(); ++row) {
        if (const auto seconds = durationSeconds(row); seconds && *seconds > 0)
            total += *seconds;
    }
    return qint64(std::floor(total));
}

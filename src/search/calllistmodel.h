#pragma once

#include "callrows.h"

#include <QAbstractTableModel>
#include <QString>

#include <optional>
#include <vector>

// One listed call as its four texts, the way the list shows them.
struct CallRow {
    QString callFrom;  // the item's own text
    QString callTo;    // sub-item 1
    QString startTime; // sub-item 2
    QString duration;  // sub-item 3

    const QString& column(int index) const;
    QString& column(int index);
};

// The rows of the result list, in the order they were added. Views sort through a proxy;
// this order never changes, and the chart and the pop-up read rows from here. The rows are held
// as numbers where their texts have a number form, and every text is given back exactly as it
// was listed.
class CallListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 4;

    explicit CallListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    // Adds an empty row after all others and gives its index for filling.
    int addRow();
    void setText(int row, int column, const QString& text);
    QString text(int row, int column) const;
    int count() const { return int(rows_.size()); }
    CallRow row(int index) const;
    // Adds many rows at once, after all others.
    void appendRows(std::vector<CallRow>&& rows);
    void appendRows(CallRows&& rows);

    // The rows as they are held, for readers that work with the numbers.
    const CallRows& rows() const { return rows_; }
    // A row's duration in seconds, when it can be read.
    std::optional<double> durationSeconds(int row) const;
    // The summed length of the listed calls in whole seconds; durations that cannot be read, or
    // are negative, count as nothing.
    qint64 talkSeconds() const;

    // Changes whenever a row is added, removed or edited, so readers can tell when what they
    // worked out from the rows is stale.
    quint64 revision() const { return revision_; }

    static QStringList headers();

private:
    CallRows rows_;
    quint64 revision_ = 0;
};

// How a text of the "Start Time" or "Duration" column is held.
void StoreStartText(CallRows& rows, qsizetype row, const QString& text);
void StoreDurationText(CallRows& rows, qsizetype row, const QString& text);

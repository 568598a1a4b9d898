#pragma once

#include "callrows.h"

#include <QAbstractTableModel>
#include <QString>

#include <optional>

// One listed call as its four texts, the way the list shows them.
struct CallRow {
    QString callFrom;  // the item's own text
    QString callTo;    // sub-item 1
    QString startTime; // sub-item 2
    QString duration;  // sub-item 3
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
    QString text(int row, int column) const;
    int count() const { return int(rows_.size()); }
    CallRow row(int index) const;
    // Adds many rows at once, after all others.
    void appendRows(CallRows&& rows);

    // The rows as they are held, for readers that work with the numbers.
    const CallRows& rows() const { return rows_; }
    // A row's duration in seconds, when it can be read.
    std::optional<double> durationSeconds(int row) const;
    // The summed length of the listed calls in whole seconds; durations that cannot be read, or
    // are negative, count as nothing.
    qint64 talkSeconds() const;

    static QStringList headers();

private:
    CallRows rows_;
};

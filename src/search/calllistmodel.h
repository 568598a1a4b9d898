#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <vector>

// One listed call: the four texts of a result list row, nothing else.
struct CallRow {
    QString callFrom;  // the item's own text
    QString callTo;    // sub-item 1
    QString startTime; // sub-item 2
    QString duration;  // sub-item 3

    const QString& column(int index) const;
    QString& column(int index);
};

// The rows of the result list, in the order they were added. Views sort through a proxy;
// this order never changes, and the chart and the pop-up read rows from here.
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
    int count() const { return static_cast<int>(rows_.size()); }
    const CallRow& row(int index) const { return rows_[static_cast<size_t>(index)]; }
    // Adds many rows at once, after all others.
    void appendRows(std::vector<CallRow>&& rows);

    // The summed length of the listed calls in whole seconds; durations that cannot be read, or
    // are negative, count as nothing.
    qint64 talkSeconds() const;

    // Changes whenever a row is added, removed or edited, so readers can tell when what they
    // worked out from the rows is stale.
    quint64 revision() const { return revision_; }

    static QStringList headers();

private:
    std::vector<CallRow> rows_;
    quint64 revision_ = 0;
};

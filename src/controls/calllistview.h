#pragma once

#include <QTableView>

class CallListModel;
class CallListProxy;

// The result list: report view over the call rows, sortable by a header click, Ctrl+C copies
// the selected rows as tab-separated text. Every mouse press is reported after the list has
// updated its selection.
class CallListView : public QTableView {
    Q_OBJECT
public:
    CallListView(CallListModel* model, QWidget* parent);

    // The selected row in the order rows were added, or -1 when none is selected.
    int selectedRow() const;
    // The selected rows, in display order, as a header line and tab-separated rows; a field
    // holding a tab, a line break or a quote is quoted as spreadsheets expect.
    QString selectionAsText() const;

signals:
    // A press at a point of the viewport; the Menu key and Shift+F10 send a right press at the
    // middle of the current row.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CallListModel* model_;
    CallListProxy* proxy_;
};

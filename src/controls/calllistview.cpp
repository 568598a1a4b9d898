#include "calllistview.h"

#include "calllistmodel.h"
#include "calllistproxy.h"
#include "textforms.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace {

QString quotedField(const QString& text) {
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') &&
        !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

// A cell a spreadsheet would run as a formula gets a leading apostrophe, which spreadsheets show
// as text; a number written with its sign ("+441632960777", "-5") is kept as it is.
QString neutralised(const QString& text) {
    return TextForms::RunsAsFormula(text.toUtf8()) ? u'\'' + text : text;
}

// A field as spreadsheets read tab-separated text: one holding a tab, a line break or a quote is
// quoted, its quotes doubled, so that every row keeps its four columns; one that would run as a
// formula is made text.
QString spreadsheetField(const QString& text) {
    return quotedField(neutralised(text));
}

} // namespace

CallListView::CallListView(CallListModel* model, QWidget* parent)
    : QTableView(parent), model_(model), proxy_(new CallListProxy(model, this)) {
    setModel(proxy_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    // Tab leaves the list for the next control, as it does everywhere in the window; the arrow
    // keys move inside it.
    setTabKeyNavigation(false);
    // The server lists a day's calls in no particular order: they are shown by start time,
    // oldest first, until a header is clicked, and then in that column's order.
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    proxy_->sort(2, Qt::AscendingOrder);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this] { horizontalHeader()->setSortIndicatorShown(true); });
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

int CallListView::selectedRow() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return -1;
    return proxy_->mapToSource(current).row();
}

QString CallListView::selectionAsText() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text = CallListModel::headers().join(u'\t') + u'\n';
    for (int row : rows) {
        const int source = proxy_->mapToSource(proxy_->index(row, 0)).row();
        QStringList cells;
        for (int column = 0; column < CallListModel::kColumnCount; ++column)
            cells << spreadsheetField(model_->text(source, column));
        text += cells.join(u'\t') + u'\n';
    }
    return text;
}

void CallListView::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    emit mouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void CallListView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (selectionModel()->hasSelection())
            QApplication::clipboard()->setText(selectionAsText());
        event->accept();
        return;
    }
    // The Menu key and Shift+F10 open the pop-up, as a right-click on the selected row does.
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && currentIndex().isValid()) {
        const QPoint at = visualRect(currentIndex()).center();
        emit mouseDown(Qt::RightButton, Qt::NoModifier, at.x(), at.y());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

#include "calllistmodel.h"
#include "calllistview.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QtTest>

class TestCallListView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sortAndCopy();

private:
    void clickHeader(int column);
    QString shown(int row, int column) const;
    CallListModel* model = nullptr;
    CallListView* view = nullptr;
};

void TestCallListView::init() {
    model = new CallListModel;
    view = new CallListView(model, nullptr);
    view->resize(540, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    model->appendRows({CallRow{"101", "5551234567", "3/1/2024 9:00:00 AM", "00:05:30"},
                       CallRow{"15551234567", "101", "3/1/2024 9:10:00 AM", "00:00:30"},
                       CallRow{"9", "102", "3/1/2024", "1:00:00"}});
}

void TestCallListView::cleanup() {
    delete view;
    delete model;
}

void TestCallListView::clickHeader(int column) {
    QHeaderView* header = view->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
}

QString TestCallListView::shown(int row, int column) const {
    return view->model()->index(row, column).data().toString();
}

void TestCallListView::sortAndCopy() {
    // "Call From" by number: 9 before 101 before 15551234567.
    clickHeader(0);
    QCOMPARE(shown(0, 0), QStringLiteral("9"));
    QCOMPARE(shown(2, 0), QStringLiteral("15551234567"));
    // "Start Time" in time order: the midnight date alone comes first.
    clickHeader(2);
    QCOMPARE(shown(0, 2), QStringLiteral("3/1/2024"));
    clickHeader(2);
    QCOMPARE(shown(2, 2), QStringLiteral("3/1/2024"));
    // The model keeps the order the rows were listed in.
    QCOMPARE(model->row(0).callFrom, QStringLiteral("101"));

    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("Call From\tCall To\tStart Time\tDuration"));
    QCOMPARE(lines[3], QStringLiteral("9\t102\t3/1/2024\t1:00:00"));
}

QTEST_MAIN(TestCallListView)
#include "tst_calllistview.moc"

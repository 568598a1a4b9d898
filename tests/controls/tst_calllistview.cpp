#include "calllistmodel.h"
#include "calllistview.h"
#include "calltexts.h"

#include <QAbstractItemModelTester>
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
    void sortsByMeaning_data();
    void sortsByMeaning();
    void copyQuotesWhatWouldBreakRows();
    void copyNeutralisesFormulas();

private:
    void clickHeader(int column);
    QString shown(int row, int column) const;
    CallListModel* model = nullptr;
    CallListView* view = nullptr;
    QAbstractItemModelTester* modelTester = nullptr;
    QAbstractItemModelTester* proxyTester = nullptr;
};

void TestCallListView::init() {
    model = new CallListModel;
    view = new CallListView(model, nullptr);
    // Both models are checked against Qt's rules on every change the tests make.
    modelTester = new QAbstractItemModelTester(
        model, QAbstractItemModelTester::FailureReportingMode::QtTest, view);
    proxyTester = new QAbstractItemModelTester(
        view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest, view);
    view->resize(540, 400);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    model->appendRows(
        CallsFromTexts({CallRow{"101", "5551234567", "2024-03-01 09:00:00", "00:05:30"},
                        CallRow{"15551234567", "101", "2024-03-01 09:10:00", "00:00:30"},
                        CallRow{"9", "102", "2024-03-01 00:00:00", "1:00:00"}}));
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

void TestCallListView::sortsByMeaning_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected"); // the column's texts, top to bottom
    QTest::newRow("numbers as numbers, then text")
        << 0 << false << QStringList{"9", "0101", "101", "15551234567", "ext 7", "ext 8"};
    QTest::newRow("start times in time order, unreadable last")
        << 2 << false << QStringList{"2/29/2024 11:00:00 PM",  "3/1/2024",
                                     "3/1/2024 9:00:00 AM",    "3/1/2024 9:10:00 AM",
                                     "12/31/9999 11:58:00 PM", "infinity"};
    QTest::newRow("durations by length")
        << 3 << false << QStringList{"-00:05:00",  "00:00:30",       "1:00:00",
                                     "01:00:00.5", "1 day 02:00:00", "100:00:00"};
    QTest::newRow("descending") << 0 << true
                                << QStringList{"ext 8", "ext 7", "15551234567", "101", "0101", "9"};
}

void TestCallListView::sortsByMeaning() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    model->clear();
    model->appendRows(
        CallsFromTexts({CallRow{"101", "1", "2024-03-01 09:00:00", "1:00:00"},
                        CallRow{"ext 8", "2", "infinity", "100:00:00"},
                        CallRow{"9", "3", "2024-03-01 00:00:00", "-00:05:00"},
                        CallRow{"15551234567", "4", "9999-12-31 23:58:00", "01:00:00.5"},
                        CallRow{"ext 7", "5", "2024-02-29 23:00:00", "00:00:30"},
                        CallRow{"0101", "6", "2024-03-01 09:10:00", "1 day 02:00:00"}}));
    view->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << shown(row, column);
    QCOMPARE(texts, expected);
    // The selection follows its row through a new sort.
    view->selectRow(0);
    const int selected = view->selectedRow();
    view->sortByColumn(1, Qt::AscendingOrder);
    QCOMPARE(view->selectedRow(), selected);
}

void TestCallListView::copyQuotesWhatWouldBreakRows() {
    model->clear();
    model->appendRows(
        CallsFromTexts({CallRow{"a\tb", "line\nbreak", "2024-03-01 00:00:00", "say \"hi\""},
                        CallRow{"101", "102", "2024-03-01 09:00:00", "00:01:00"}}));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("Call From\tCall To\tStart Time\tDuration\n"
                            "\"a\tb\"\t\"line\nbreak\"\t3/1/2024\t\"say \"\"hi\"\"\"\n"
                            "101\t102\t3/1/2024 9:00:00 AM\t00:01:00\n"));
}

// Cells a spreadsheet would run as formulas are pasted as text; a number with its sign is kept.
void TestCallListView::copyNeutralisesFormulas() {
    model->clear();
    model->appendRows(CallsFromTexts(
        {CallRow{"=HYPERLINK(\"https://x\",\"y\")", "+441632960777", "2024-03-01 09:00:00",
                 "-00:05:00"},
         CallRow{"@SUM(1+1)*cmd|' /C calc'!A0", "+1 calc", "2024-03-01 09:10:00", "00:01:00"}}));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(
        QApplication::clipboard()->text(),
        QStringLiteral("Call From\tCall To\tStart Time\tDuration\n"
                       "\"'=HYPERLINK(\"\"https://x\"\",\"\"y\"\")\"\t+441632960777\t"
                       "3/1/2024 9:00:00 AM\t-00:05:00\n"
                       "'@SUM(1+1)*cmd|' /C calc'!A0\t'+1 calc\t3/1/2024 9:10:00 AM\t00:01:00\n"));
}

QTEST_MAIN(TestCallListView)
#include "tst_calllistview.moc"

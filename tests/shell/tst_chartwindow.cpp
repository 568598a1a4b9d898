#include "chartwidget.h"
#include "dialogs.h"
#include "endprogram.h"
#include "shellfixture.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace ShellFixture;

class TestChartWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { window.reset(); }

    void pixelsAfterSearch_data();
    void pixelsAfterSearch();
    void secondSearchHidesWhatIsGone();
    void command5Redraws();
    void command5ReadsEditedRows();
    void narrowSearchThenWiden();

private:
    QColor pixelAt(const QPoint& chartPoint);
    void searchBoth(const QString& extension);
    QTemporaryDir dir;
    std::unique_ptr<Form1> window;
    QImage shot;
};

void TestChartWindow::initTestCase() {
    REQUIRE_TEST_DATABASE();
    SetEndProgramHandlerForTesting([] { QFAIL("the program ended"); });
    config::SetConfigFilePath(dir.filePath("local.cfg"));
}

void TestChartWindow::init() {
    QVERIFY(seedCalls());
    window = std::make_unique<Form1>();
    loadWindow(*window);
}

void TestChartWindow::searchBoth(const QString& extension) {
    pick(window->Combo2, window->Combo2->itemText(0));
    pick(window->Combo1, "Both");
    pick(window->Combo3, extension);
}

QColor TestChartWindow::pixelAt(const QPoint& chartPoint) {
    const QPoint at = window->chart->mapTo(window.get(), chartPoint);
    return shot.pixelColor(at * shot.devicePixelRatio());
}

enum class Cell { From, To, Label, Shading };
Q_DECLARE_METATYPE(Cell)

void TestChartWindow::pixelsAfterSearch_data() {
    QTest::addColumn<Cell>("cell");
    QTest::addColumn<int>("minute");
    QTest::addColumn<QColor>("colour");
    const QColor red(128, 0, 0), grey(64, 64, 64), shading(192, 192, 192);
    const QColor background = QApplication::palette().color(QPalette::Window);
    QTest::newRow("from 9:00") << Cell::From << 540 << red;
    QTest::newRow("from 9:04 (5.5 minutes)") << Cell::From << 544 << red;
    QTest::newRow("from 9:05 hidden, odd hour") << Cell::From << 545 << shading;
    QTest::newRow("from midnight (date alone)") << Cell::From << 0 << red;
    QTest::newRow("from 23:59 (across midnight)") << Cell::From << 1439 << red;
    QTest::newRow("to 15:15") << Cell::To << 915 << grey;
    QTest::newRow("to 15:16 hidden, odd hour") << Cell::To << 916 << shading;
    QTest::newRow("to 10:59") << Cell::To << 659 << grey;
    QTest::newRow("to 11:02 next column") << Cell::To << 662 << grey;
    QTest::newRow("from 10:58 hidden") << Cell::From << 658 << background;
    QTest::newRow("odd-hour column") << Cell::Shading << 1 * 60 + 30 << shading;
    QTest::newRow("hour label") << Cell::Label << 5 << QColor(Qt::white);
}

void TestChartWindow::pixelsAfterSearch() {
    QFETCH(Cell, cell);
    QFETCH(int, minute);
    QFETCH(QColor, colour);
    searchBoth("101");
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    QVERIFY(window->chart->isVisible());
    QVERIFY(window->client()->rect().contains(window->chart->geometry()));
    shot = window->grab().toImage();
    QPoint point;
    switch (cell) {
    case Cell::From:
        point = ChartWidget::fromCellRect(minute).center();
        break;
    case Cell::To:
        point = ChartWidget::toCellRect(minute).center();
        break;
    case Cell::Shading:
        point = ChartWidget::fromCellRect(minute).center();
        break;
    case Cell::Label:
        // A corner of the label, clear of its text.
        point = ChartWidget::hourLabelRect(minute).topLeft() + QPoint(1, 1);
        break;
    }
    QCOMPARE(pixelAt(point), colour);
}

void TestChartWindow::secondSearchHidesWhatIsGone() {
    searchBoth("101");
    QVERIFY(window->chart->cells().from.test(540));
    pick(window->Combo3, "102");
    QVERIFY(!window->chart->cells().from.test(540));
    QVERIFY(window->chart->cells().from.test(720)); // 102 called 103 at noon
    QVERIFY(window->chart->cells().to.test(0));     // 101 called 102 at midnight
}

void TestChartWindow::command5Redraws() {
    searchBoth("101");
    window->listItems->clear();
    QVERIFY(window->chart->cells().from.any());
    window->Command5->setFocus();
    QTest::keyClick(window->Command5, Qt::Key_Space);
    QVERIFY(!window->chart->cells().from.any() && !window->chart->cells().to.any());
}

void TestChartWindow::command5ReadsEditedRows() {
    searchBoth("101");
    const MinuteCells before = window->chart->cells();
    QVERIFY(!before.from.test(1380) && !before.to.test(1380));
    // Every listed row moved to 11 PM: the next redraw must read the rows again.
    for (int row = 0; row < window->listItems->count(); ++row) {
        window->listItems->setText(row, 2, QStringLiteral("3/1/2024 11:00:30 PM"));
        window->listItems->setText(row, 3, QStringLiteral("0:01:00"));
    }
    window->Command5->setFocus();
    QTest::keyClick(window->Command5, Qt::Key_Space);
    const MinuteCells after = window->chart->cells();
    QVERIFY(after.from.test(1380) || after.to.test(1380));
    QCOMPARE(after.from.count() + after.to.count(),
             size_t(after.from.test(1380)) + after.to.test(1380));
}

void TestChartWindow::narrowSearchThenWiden() {
    searchBoth("101");
    QCOMPARE(window->width(), Form1::kNormalClientWidth);
    QTest::mouseClick(window->Command6, Qt::LeftButton);
    shot = window->grab().toImage();
    QCOMPARE(pixelAt(ChartWidget::fromCellRect(540).center()), QColor(128, 0, 0));
}

QTEST_MAIN(TestChartWindow)
#include "tst_chartwindow.moc"

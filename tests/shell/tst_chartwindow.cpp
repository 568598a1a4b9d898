#include "calllistview.h"
#include "calltexts.h"
#include "chartwidget.h"
#include "dialogs.h"
#include "endprogram.h"
#include "searchquery.h"
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
    void oddValuesThroughTheDriver_data();
    void oddValuesThroughTheDriver();

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

enum class Cell { From, To, Label, LabelText, Shading };
Q_DECLARE_METATYPE(Cell)

void TestChartWindow::pixelsAfterSearch_data() {
    QTest::addColumn<Cell>("cell");
    QTest::addColumn<int>("minute");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("dark");
    const QColor red(128, 0, 0), grey(64, 64, 64), shading(192, 192, 192);
    const QColor background(240, 240, 240);
    // The design's colours also under a dark desktop theme.
    QTest::newRow("dark: hour label") << Cell::Label << 5 << QColor(Qt::white) << true;
    QTest::newRow("dark: hour label text") << Cell::LabelText << 5 << QColor(Qt::black) << true;
    QTest::newRow("dark: grey cell") << Cell::To << 915 << grey << true;
    QTest::newRow("dark: background") << Cell::From << 658 << background << true;
    QTest::newRow("from 9:00") << Cell::From << 540 << red << false;
    QTest::newRow("from 9:04 (5.5 minutes)") << Cell::From << 544 << red << false;
    QTest::newRow("from 9:05 hidden, odd hour") << Cell::From << 545 << shading << false;
    QTest::newRow("from midnight (date alone)") << Cell::From << 0 << red << false;
    QTest::newRow("from 23:59 (across midnight)") << Cell::From << 1439 << red << false;
    QTest::newRow("to 15:15") << Cell::To << 915 << grey << false;
    QTest::newRow("to 15:16 hidden, odd hour") << Cell::To << 916 << shading << false;
    QTest::newRow("to 10:59") << Cell::To << 659 << grey << false;
    QTest::newRow("to 11:02 next column") << Cell::To << 662 << grey << false;
    QTest::newRow("from 10:58 hidden") << Cell::From << 658 << background << false;
    QTest::newRow("odd-hour column") << Cell::Shading << 1 * 60 + 30 << shading << false;
    QTest::newRow("hour label") << Cell::Label << 5 << QColor(Qt::white) << false;
}

void TestChartWindow::pixelsAfterSearch() {
    QFETCH(Cell, cell);
    QFETCH(int, minute);
    QFETCH(QColor, colour);
    QFETCH(bool, dark);
    if (dark) {
        QPalette night;
        night.setColor(QPalette::Window, QColor(30, 30, 30));
        night.setColor(QPalette::WindowText, QColor(230, 230, 230));
        night.setColor(QPalette::Base, QColor(20, 20, 20));
        night.setColor(QPalette::Text, QColor(230, 230, 230));
        window->setPalette(night);
    }
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
    case Cell::LabelText: {
        // The darkest pixel of the label is its text's.
        const QRect label = ChartWidget::hourLabelRect(minute);
        point = label.topLeft();
        for (int y = label.top(); y <= label.bottom(); ++y) {
            for (int x = label.left(); x <= label.right(); ++x) {
                if (pixelAt({x, y}).lightness() < pixelAt(point).lightness())
                    point = {x, y};
            }
        }
        QVERIFY2(pixelAt(point).lightness() < 60, qPrintable(pixelAt(point).name()));
        return;
    }
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
    // The list now holds other rows, as after a search run with Enter: the next redraw must
    // read them.
    window->listItems->clear();
    window->listItems->appendRows(
        CallsFromTexts({CallRow{"101", "5", "2024-03-01 23:00:30", "00:01:00"},
                        CallRow{"7", "101", "2024-03-01 23:00:10", "00:00:40"}}));
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

void TestChartWindow::oddValuesThroughTheDriver_data() {
    QTest::addColumn<bool>("textColumn"); // starttime held as text instead of a timestamp
    QTest::addColumn<QString>("start");   // SQL literals
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("shownStart");
    QTest::addColumn<QString>("shownDuration");
    QTest::addColumn<QList<int>>("drawn"); // first and last minute, or nothing

    const QList<int> none;
    QTest::newRow("infinity") << false << "'infinity'"
                              << "'00:05:00'"
                              << "infinity"
                              << "00:05:00" << none;
    QTest::newRow("-infinity") << false << "'-infinity'"
                               << "'00:05:00'"
                               << "-infinity"
                               << "00:05:00" << none;
    QTest::newRow("4713 BC") << false << "'4713-11-24 10:00:00 BC'"
                             << "'00:05:00'"
                             << "4713-11-24 10:00:00 BC"
                             << "00:05:00" << none;
    // The driver cannot read a five-digit year and says so with zeros.
    QTest::newRow("year 10000") << false << "'10000-01-01 10:00:00'"
                                << "'00:05:00'"
                                << "0000-00-00 00:00:00"
                                << "00:05:00" << none;
    QTest::newRow("year 1") << false << "'0001-01-01 08:00:00'"
                            << "'00:01:00'"
                            << "1/1/0001 8:00:00 AM"
                            << "00:01:00" << QList<int>{480, 480};
    QTest::newRow("year 9999") << false << "'9999-12-31 23:58:00'"
                               << "'00:01:00'"
                               << "12/31/9999 11:58:00 PM"
                               << "00:01:00" << QList<int>{1438, 1438};
    // The driver gives infinity the same fields and the same text as the last second of 9999,
    // so that second is taken for infinity.
    QTest::newRow("last second of 9999") << false << "'9999-12-31 23:59:59'"
                                         << "'00:00:01'"
                                         << "infinity"
                                         << "00:00:01" << none;
    QTest::newRow("real midnight") << false << "'2024-03-01 00:00:00'"
                                   << "'00:02:00'"
                                   << "3/1/2024"
                                   << "00:02:00" << QList<int>{0, 1};
    QTest::newRow("fraction of a second") << false << "'2024-03-01 09:00:00.25'"
                                          << "'00:01:00'"
                                          << "3/1/2024 9:00:00 AM"
                                          << "00:01:00" << QList<int>{540, 540};
    QTest::newRow("negative duration") << false << "'2024-03-01 10:00:00'"
                                       << "'-00:05:00'"
                                       << "3/1/2024 10:00:00 AM"
                                       << "-00:05:00" << QList<int>{600, 600};
    QTest::newRow("interval of days") << false << "'2024-03-01 10:00:00'"
                                      << "'1 day 02:00:00'"
                                      << "3/1/2024 10:00:00 AM"
                                      << "1 day 02:00:00" << QList<int>{600, 1439};
    QTest::newRow("hundred hours") << false << "'2024-03-01 23:00:00'"
                                   << "'100:00:00'"
                                   << "3/1/2024 11:00:00 PM"
                                   << "100:00:00" << QList<int>{1380, 1439};
    QTest::newRow("fractional duration") << false << "'2024-03-01 10:00:00'"
                                         << "'00:00:01.5'"
                                         << "3/1/2024 10:00:00 AM"
                                         << "00:00:01.5" << QList<int>{600, 600};
    QTest::newRow("no duration") << false << "'2024-03-01 10:00:00'"
                                 << "NULL"
                                 << "3/1/2024 10:00:00 AM"
                                 << "" << none;
    QTest::newRow("text: no such day") << true << "'2026-02-31'"
                                       << "'00:05:00'"
                                       << "2026-02-31"
                                       << "00:05:00" << none;
    QTest::newRow("text: February 31 with a time") << true << "'2026-02-31 10:00:00'"
                                                   << "'00:05:00'"
                                                   << "2026-02-31 10:00:00"
                                                   << "00:05:00" << none;
    QTest::newRow("text: a real time") << true << "'2026-02-28 10:00:00'"
                                       << "'00:01:00'"
                                       << "2/28/2026 10:00:00 AM"
                                       << "00:01:00" << QList<int>{600, 600};
}

void TestChartWindow::oddValuesThroughTheDriver() {
    QFETCH(bool, textColumn);
    QFETCH(QString, start);
    QFETCH(QString, duration);
    QFETCH(QString, shownStart);
    QFETCH(QString, shownDuration);
    QFETCH(QList<int>, drawn);
    if (textColumn)
        QVERIFY(TestDatabase::exec("ALTER TABLE public.callhistory2 ALTER COLUMN starttime TYPE "
                                   "text USING starttime::text"));
    QVERIFY(TestDatabase::exec("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
                               "VALUES ('odd', '101', " +
                               duration + ", " + start + ")"));
    // None of these falls on a day of the date list: the rows are fetched by number alone.
    const SearchQuery query{"SELECT from_no, to_no, dur, starttime FROM public.callhistory2 "
                            "WHERE from_no=?",
                            {"odd"}};
    Result<CallRows> found = dbRoutines::RunSearchQuery(query);
    QVERIFY2(found.ok(), qPrintable(found.reason()));
    window->listItems->appendRows(std::move(found.value));
    QCOMPARE(window->listItems->count(), 1);
    const QAbstractItemModel* shown = window->ListView1->model();
    QCOMPARE(shown->index(0, 2).data().toString(), shownStart);
    QCOMPARE(shown->index(0, 3).data().toString(), shownDuration);
    window->Command5->setFocus();
    QTest::keyClick(window->Command5, Qt::Key_Space);
    const MinuteCells cells = window->chart->cells();
    QList<int> covered;
    for (int m = 0; m < kMinutesPerDay; ++m) {
        if (cells.to.test(size_t(m)) || cells.from.test(size_t(m)))
            covered << m;
    }
    const QList<int> ends =
        covered.isEmpty() ? QList<int>() : QList<int>({covered.first(), covered.last()});
    QCOMPARE(ends, drawn);
    if (!covered.isEmpty())
        QCOMPARE(covered.size(), drawn[1] - drawn[0] + 1);
}

QTEST_MAIN(TestChartWindow)
#include "tst_chartwindow.moc"

#include "calllistmodel.h"
#include "calllistview.h"
#include "chartview.h"
#include "config.h"
#include "reportperiod.h"
#include "reportswindow.h"
#include "testdatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyleOptionMenuItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDate kFirst(2026, 11, 30), kLast(2026, 12, 6);
const QString kPeriod = QStringLiteral("starttime::date BETWEEN '2026-11-30' AND '2026-12-06'");

// 400 calls spread over nine days around the week (a day before and after it too), between
// three extensions and outside numbers, with talk times from none to ten minutes.
bool seedWeek() {
    return TestDatabase::resetTables() &&
           TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES ('101', 1), "
                              "('102', 1), ('103', 1)") &&
           TestDatabase::exec(
               "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
               "SELECT CASE WHEN n % 3 = 0 THEN '10' || (1 + n % 2) ELSE '555' || (n % 7) END, "
               "CASE WHEN n % 3 = 0 THEN '555' || (n % 5) ELSE '10' || (1 + n % 3) END, "
               "make_interval(secs => (n * 37) % 600 * (n % 4)), "
               "timestamp '2026-11-29 00:00' + make_interval(mins => (n * 97) % (9 * 24 * 60)) "
               "FROM generate_series(1, 400) AS n");
}

// "key|value" lines of a query, zero values left out, as a map.
QMap<QString, QString> sqlPairs(const QString& sql) {
    QMap<QString, QString> pairs;
    const QString text = TestDatabase::scalar(
        QStringLiteral("SELECT string_agg(k || '|' || v, E'\\n') FROM (%1) AS q(k, v)").arg(sql));
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u'|');
        if (parts.value(1) != QLatin1String("0"))
            pairs.insert(parts.value(0), parts.value(1));
    }
    return pairs;
}

// The table's column as key (the first column's sort value) and value, zeros left out.
QMap<QString, QString> tablePairs(const QStandardItemModel* model, int column, int role) {
    QMap<QString, QString> pairs;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString value = model->index(row, column).data(role).toString();
        if (value != QLatin1String("0"))
            pairs.insert(model->index(row, 0).data(Qt::UserRole).toString(), value);
    }
    return pairs;
}

int waitingReports() {
    return TestDatabase::scalar("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = "
                                "'Lock' AND query LIKE '%callhistory2%'")
        .toInt();
}

// The height of the bar drawn in a place of the grabbed chart: its dark red pixels up the middle.
int barHeight(const QImage& image, const QRectF& place) {
    const int x = qRound(place.center().x());
    int height = 0;
    for (int y = int(place.top()); y <= int(place.bottom()); ++y) {
        const QColor pixel = image.pixelColor(x, y);
        height += pixel.red() > 0x60 && pixel.green() < 0x40 && pixel.blue() < 0x40;
    }
    return height;
}

// The values of a query's (key, value) rows, one a line, in the order of the keys.
QStringList sqlList(const QString& sql) {
    return TestDatabase::scalar(
               QStringLiteral("SELECT string_agg(v, E'\\n' ORDER BY k) FROM (%1) AS q(k, v)")
                   .arg(sql))
        .split(u'\n');
}

// What a reader independent of the program finds in a file, as text.
QString readWith(const QString& program, const QStringList& arguments) {
    QProcess reader;
    reader.start(program, arguments);
    if (!reader.waitForFinished(120000) || reader.exitCode() != 0)
        return QStringLiteral("%1 failed: %2").arg(program, reader.readAllStandardError());
    return QString::fromUtf8(reader.readAllStandardOutput());
}

// The controls a user reaches from the keyboard, by name.
QMap<QString, QWidget*> controls(ReportsWindow& window) {
    return {{QStringLiteral("period"), window.periodBox},
            {QStringLiteral("from"), window.fromEdit},
            {QStringLiteral("to"), window.toEdit},
            {QStringLiteral("number"), window.numberEdit},
            {QStringLiteral("match"), window.matchBox},
            {QStringLiteral("direction"), window.directionBox},
            {QStringLiteral("tabs"), window.tabs->tabBar()},
            {QStringLiteral("calls"), window.callsView()},
            {QStringLiteral("by day table"), window.table(ReportsWindow::ByDay)},
            {QStringLiteral("cancel"), window.cancelButton}};
}

// The name of the control a focused widget belongs to (a date edit's text field is the date
// edit's), or its class.
QString controlName(ReportsWindow& window, QWidget* focused) {
    const QMap<QString, QWidget*> named = controls(window);
    for (QWidget* widget = focused; widget && widget != &window; widget = widget->parentWidget())
        if (const QString name = named.key(widget); !name.isEmpty())
            return name;
    return focused ? QString::fromLatin1(focused->metaObject()->className())
                   : QStringLiteral("nothing");
}

// A menu opened up to see an entry as it would draw it.
class MenuEntry : public QMenu {
public:
    using QMenu::initStyleOption;
};

} // namespace

class TestReportsWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { window.reset(); }

    void periodDays_data();
    void periodDays();
    void figuresEqualSql_data();
    void figuresEqualSql();
    void barsAndCellsFollowTheFigures();
    void lockedTableWaitsAndCancelFreesIt_data();
    void lockedTableWaitsAndCancelFreesIt();
    void spreadsheetReadsBack();
    void choicesAreRemembered();
    void keysRunAndCancel_data();
    void keysRunAndCancel();
    void tabWalksTheControls_data();
    void tabWalksTheControls();
    void menusShowTheShortcuts();
    void exportedFilesReadBack_data();
    void exportedFilesReadBack();
    void fitsTheScreen();
    // Pictures of every tab with the demonstration data, to look at (LINETALLY_SCREENSHOTS names
    // the folder); the light or dark palette as LINETALLY_DARK says.
    void screenshots();

private:
    void showWeek();

    QTemporaryDir dir;
    std::unique_ptr<ReportsWindow> window;
};

void TestReportsWindow::initTestCase() {
    REQUIRE_TEST_DATABASE();
    config::SetConfigFilePath(dir.filePath("local.cfg"));
    QVERIFY(seedWeek());
}

void TestReportsWindow::init() {
    config::ClearConfig();
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    config::LoadConfig();
    window = std::make_unique<ReportsWindow>([] { return QDate(2026, 12, 9); });
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

// Sets the week with the date edits, as a user would, runs it again and waits for its report.
void TestReportsWindow::showWeek() {
    QSignalSpy ended(window.get(), &ReportsWindow::reportEnded);
    window->fromEdit->setDate(kFirst);
    window->toEdit->setDate(kLast);
    window->rerunAction->trigger();
    QTRY_VERIFY2_WITH_TIMEOUT(!window->running() && ended.count() > 0,
                              qPrintable(window->progressLabel->text()), 30000);
    QVERIFY2(window->progressLabel->text().contains(QLatin1String(" calls, ")),
             qPrintable(window->progressLabel->text()));
}

void TestReportsWindow::periodDays_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("firstDay");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    // 2026-12-09 is a Wednesday.
    using reports::Period;
    QTest::newRow("last week, Monday")
        << int(Period::LastWeek) << int(Qt::Monday) << QDate(2026, 11, 30) << QDate(2026, 12, 6);
    QTest::newRow("last week, Sunday")
        << int(Period::LastWeek) << int(Qt::Sunday) << QDate(2026, 11, 29) << QDate(2026, 12, 5);
    QTest::newRow("this week, Saturday")
        << int(Period::ThisWeek) << int(Qt::Saturday) << QDate(2026, 12, 5) << QDate(2026, 12, 11);
    QTest::newRow("last month") << int(Period::LastMonth) << int(Qt::Monday) << QDate(2026, 11, 1)
                                << QDate(2026, 11, 30);
    QTest::newRow("last 30 days") << int(Period::Last30Days) << int(Qt::Monday)
                                  << QDate(2026, 11, 10) << QDate(2026, 12, 9);
}

void TestReportsWindow::periodDays() {
    QFETCH(int, period);
    QFETCH(int, firstDay);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    const auto days =
        reports::PeriodDays(reports::Period(period), QDate(2026, 12, 9), Qt::DayOfWeek(firstDay));
    QCOMPARE(days.first, first);
    QCOMPARE(days.second, last);
}

void TestReportsWindow::figuresEqualSql_data() {
    QTest::addColumn<bool>("countedAtServer");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("sql");
    const auto where = [](const char* more = "") {
        return QStringLiteral(" FROM public.callhistory2 WHERE %1%2").arg(kPeriod, more);
    };
    // Each figure as the window tallies it from the calls (the calls tab shown) and as the
    // server sums it up first (its own tab shown).
    const auto addRow = [](const char* name, int tab, int column, int role, const QString& sql) {
        for (const bool atServer : {false, true})
            QTest::addRow("%s, %s", name, atServer ? "at the server" : "from the calls")
                << atServer << tab << column << role << sql;
    };

    addRow("calls by hour", int(ReportsWindow::ByHour), 1, int(Qt::DisplayRole),
           "SELECT extract(hour FROM starttime)::int::text, count(*)::text" + where() +
               " GROUP BY 1");
    addRow("calls by day", int(ReportsWindow::ByDay), 1, int(Qt::DisplayRole),
           "SELECT to_char(starttime::date, 'J'), count(*)::text" + where() + " GROUP BY 1");
    addRow("talk time by day", int(ReportsWindow::ByDay), 2, ReportsWindow::kSecondsRole,
           "SELECT to_char(starttime::date, 'J'), sum(extract(epoch FROM dur))::bigint::text" +
               where() + " GROUP BY 1");
    addRow("no talk time by day", int(ReportsWindow::ByDay), 3, int(Qt::DisplayRole),
           "SELECT to_char(starttime::date, 'J'), count(*)::text" + where(" AND dur = '0'") +
               " GROUP BY 1");
    addRow("placed by extension", int(ReportsWindow::ByExtension), 2, int(Qt::DisplayRole),
           "SELECT from_no, count(*)::text" + where(" AND from_no IN ('101','102','103')") +
               " GROUP BY 1");
    addRow("received by extension", int(ReportsWindow::ByExtension), 3, int(Qt::DisplayRole),
           "SELECT to_no, count(*)::text" + where(" AND to_no IN ('101','102','103')") +
               " GROUP BY 1");
    addRow("calls by day for capacity", int(ReportsWindow::Capacity), 1, int(Qt::DisplayRole),
           "SELECT to_char(starttime::date, 'J'), count(*)::text" + where() + " GROUP BY 1");
}

void TestReportsWindow::figuresEqualSql() {
    QFETCH(int, tab);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QString, sql);
    QFETCH(bool, countedAtServer);
    window->tabs->setCurrentIndex(countedAtServer ? tab : int(ReportsWindow::Calls));
    QSignalSpy shown(window.get(), &ReportsWindow::figuresShown);
    showWeek();
    // Summed up at the server, the figures are shown as they come before the calls are listed
    // (the days', then the numbers'), and again with the whole report.
    QCOMPARE(shown.count(), countedAtServer && tab != ReportsWindow::Capacity ? 3 : 1);
    const QMap<QString, QString> expected = sqlPairs(sql);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(tablePairs(window->figures(ReportsWindow::Tab(tab)), column, role), expected);
    QCOMPARE(QString::number(window->callsModel()->count()),
             TestDatabase::scalar("SELECT count(*) FROM public.callhistory2 WHERE " + kPeriod));
}

// The bars of the hours stand in proportion to their calls; the week's cells are the darker
// the more calls they hold.
void TestReportsWindow::barsAndCellsFollowTheFigures() {
    showWeek();
    window->tabs->setCurrentIndex(ReportsWindow::ByHour);
    ChartView* hours = window->chart(ReportsWindow::ByHour);
    QTRY_COMPARE(hours->places().size(), size_t(24));
    const QImage bars = hours->grab().toImage();
    const QStandardItemModel* figures = window->figures(ReportsWindow::ByHour);
    qint64 most = 0;
    int tallest = 0;
    for (int h = 0; h < 24; ++h) {
        const qint64 calls = figures->index(h, 1).data().toLongLong();
        if (calls > most) {
            most = calls;
            tallest = barHeight(bars, hours->places()[size_t(h)]);
        }
    }
    QVERIFY(tallest > 20);
    for (int h = 0; h < 24; ++h) {
        const qreal calls = figures->index(h, 1).data().toDouble();
        const int height = barHeight(bars, hours->places()[size_t(h)]);
        QVERIFY2(qAbs(height - calls / qreal(most) * tallest) <= 2,
                 qPrintable(
                     QStringLiteral("hour %1: %2 px for %3 calls").arg(h).arg(height).arg(calls)));
    }
    QVERIFY(hours->textAt(hours->places()[10].center()).contains(QLatin1String("calls started")));

    window->tabs->setCurrentIndex(ReportsWindow::WeekByHour);
    ChartView* week = window->chart(ReportsWindow::WeekByHour);
    QTRY_COMPARE(week->places().size(), size_t(7 * 24));
    const QImage cells = week->grab().toImage();
    const QStandardItemModel* weekFigures = window->figures(ReportsWindow::WeekByHour);
    std::vector<std::pair<qint64, int>> countAndLightness;
    for (int i = 0; i < 7 * 24; ++i)
        countAndLightness.emplace_back(
            weekFigures->index(i / 24, 1 + i % 24).data().toLongLong(),
            cells.pixelColor(week->places()[size_t(i)].center().toPoint()).lightness());
    std::sort(countAndLightness.begin(), countAndLightness.end());
    for (size_t i = 1; i < countAndLightness.size(); ++i)
        if (countAndLightness[i].first > countAndLightness[i - 1].first)
            QVERIFY(countAndLightness[i].second < countAndLightness[i - 1].second);
}

// While another session holds the calls table the report waits at the server; the window
// switches tabs meanwhile, and Cancel frees the server's session at once.
// The calls are read first on the calls tab, the server's sums first on a figures tab.
void TestReportsWindow::lockedTableWaitsAndCancelFreesIt_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("sameNumber");
    QTest::addColumn<QString>("progress");
    QTest::newRow("calls") << int(ReportsWindow::Calls) << false << "Reading calls";
    QTest::newRow("sums") << int(ReportsWindow::ByHour) << false << "Summing up calls";
    // Confirmed call by call, a same number's calls are read first on any tab.
    QTest::newRow("same number") << int(ReportsWindow::ByHour) << true << "Reading calls";
}

void TestReportsWindow::lockedTableWaitsAndCancelFreesIt() {
    QFETCH(int, tab);
    QFETCH(bool, sameNumber);
    QFETCH(QString, progress);
    if (sameNumber) {
        config::SetConfig(QStringLiteral("REGION"), QStringLiteral("US"));
        window->numberEdit->setText(QStringLiteral("101"));
        window->matchBox->setCurrentIndex(2);
    }
    showWeek();
    const int calls = window->callsModel()->count();
    const QString byHour = tablePairs(window->figures(ReportsWindow::ByHour), 1, Qt::DisplayRole)
                               .values()
                               .join(QLatin1Char(','));
    window->tabs->setCurrentIndex(tab);
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());
    window->runReport();
    QVERIFY(window->running());
    QTRY_COMPARE_WITH_TIMEOUT(waitingReports(), 1, 10000);
    QCOMPARE(window->progressLabel->text(), progress);
    for (int tab = ReportsWindow::ByHour; tab < ReportsWindow::TabCount; ++tab) {
        window->tabs->setCurrentIndex(tab);
        QVERIFY(QTest::qWaitForWindowExposed(window->chart(ReportsWindow::Tab(tab))));
    }
    QVERIFY(window->running());
    QVERIFY(window->cancelButton->isEnabled());
    QElapsedTimer cancelled;
    cancelled.start();
    QTest::mouseClick(window->cancelButton, Qt::LeftButton);
    QVERIFY(!window->running());
    QTRY_COMPARE_WITH_TIMEOUT(waitingReports(), 0, 2000);
    QVERIFY(cancelled.elapsed() < 2000);
    // The last good report stays.
    QCOMPARE(window->callsModel()->count(), calls);
    QCOMPARE(tablePairs(window->figures(ReportsWindow::ByHour), 1, Qt::DisplayRole)
                 .values()
                 .join(QLatin1Char(',')),
             byHour);
    QVERIFY(window->progressLabel->text().startsWith(QLatin1String("Cancelled")));
}

void TestReportsWindow::spreadsheetReadsBack() {
    showWeek();
    window->tabs->setCurrentIndex(ReportsWindow::ByDay);
    const QString name = window->suggestedFileName(QStringLiteral("xlsx"));
    QCOMPARE(name, QStringLiteral("by-day-2026-11-30_2026-12-06.xlsx"));
    const QString path = dir.filePath(name);
    const Status written = window->exportTo(path);
    QVERIFY2(written, qPrintable(written.reason()));
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_XLSX), path});
    QVERIFY(reader.waitForFinished(120000));
    QCOMPARE(reader.exitCode(), 0);
    const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput())
                                .array()[0]
                                .toObject()["rows"]
                                .toArray();
    const QStandardItemModel* figures = window->figures(ReportsWindow::ByDay);
    QCOMPARE(rows.size(), figures->rowCount() + 1);
    QCOMPARE(rows[0].toArray()[1].toArray()[1].toString(), QStringLiteral("Calls"));
    for (int row = 0; row < figures->rowCount(); ++row) {
        const QJsonArray cells = rows[row + 1].toArray();
        QCOMPARE(cells[1].toArray()[1].toDouble(), figures->index(row, 1).data().toDouble());
        QCOMPARE(cells[2].toArray()[1].toDouble(),
                 figures->index(row, 2).data(ReportsWindow::kSecondsRole).toDouble());
    }
    // A name the window cannot write leaves nothing behind.
    QVERIFY(!window->exportTo(dir.filePath("week.doc")));
    QVERIFY(!QFile::exists(dir.filePath("week.doc")));
}

void TestReportsWindow::choicesAreRemembered() {
    window->periodBox->setCurrentIndex(int(reports::Period::LastMonth));
    window->matchBox->setCurrentIndex(1);
    window->directionBox->setCurrentIndex(2);
    window->tabs->setCurrentIndex(ReportsWindow::Capacity);
    window->close();
    QTRY_VERIFY(!window->running());
    config::ClearConfig();
    config::LoadConfig();
    window = std::make_unique<ReportsWindow>([] { return QDate(2026, 12, 9); });
    QCOMPARE(window->periodBox->currentIndex(), int(reports::Period::LastMonth));
    QCOMPARE(window->period(), std::make_pair(QDate(2026, 11, 1), QDate(2026, 11, 30)));
    QCOMPARE(window->matchBox->currentIndex(), 1);
    QCOMPARE(window->directionBox->currentIndex(), 2);
    QCOMPARE(window->tabs->currentIndex(), int(ReportsWindow::Capacity));
    // Other settings stay as they were.
    QCOMPARE(config::GetConfig("dbuser"), TestDatabase::user());
}

// F5 runs the report again and Esc stops it at the server, wherever the focus is.
void TestReportsWindow::keysRunAndCancel_data() {
    QTest::addColumn<QString>("focused");
    for (const char* name :
         {"period", "from", "to", "number", "match", "direction", "tabs", "calls", "by day table"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestReportsWindow::keysRunAndCancel() {
    QFETCH(QString, focused);
    window->tabs->setCurrentIndex(focused == QLatin1String("by day table") ? ReportsWindow::ByDay
                                                                           : ReportsWindow::Calls);
    QWidget* target = controls(*window).value(focused);
    target->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(target->hasFocus());
    QVERIFY(window->isActiveWindow());
    {
        TestDatabase::TableLock lock("public.callhistory2");
        QVERIFY(lock.held());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        QVERIFY(window->running());
        QTRY_COMPARE_WITH_TIMEOUT(waitingReports(), 1, 10000);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window->running());
        QTRY_COMPARE_WITH_TIMEOUT(waitingReports(), 0, 2000);
        QVERIFY(window->progressLabel->text().startsWith(QLatin1String("Cancelled")));
    }
    QSignalSpy ended(window.get(), &ReportsWindow::reportEnded);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(!window->running() && ended.count() > 0, 30000);
    QVERIFY2(window->progressLabel->text().contains(QLatin1String(" calls, ")),
             qPrintable(window->progressLabel->text()));
    QCOMPARE(controlName(*window, QApplication::focusWidget()), focused);
}

// Tab goes through the choices as they read, then the tabs and the table shown, and the Cancel
// button while there is something to cancel; Shift+Tab goes back the same way.
void TestReportsWindow::tabWalksTheControls_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("running");
    QTest::newRow("the calls") << int(ReportsWindow::Calls) << false;
    QTest::newRow("a figures tab") << int(ReportsWindow::ByDay) << false;
    QTest::newRow("while a report runs") << int(ReportsWindow::Calls) << true;
}

void TestReportsWindow::tabWalksTheControls() {
    QFETCH(int, tab);
    QFETCH(bool, running);
    window->tabs->setCurrentIndex(tab);
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());
    if (running)
        window->runReport();
    else
        lock.release();
    QStringList expected = {QStringLiteral("period"),
                            QStringLiteral("from"),
                            QStringLiteral("to"),
                            QStringLiteral("number"),
                            QStringLiteral("match"),
                            QStringLiteral("direction"),
                            QStringLiteral("tabs"),
                            tab == ReportsWindow::Calls ? QStringLiteral("calls")
                                                        : QStringLiteral("by day table")};
    if (running)
        expected << QStringLiteral("cancel");
    for (const Qt::KeyboardModifier direction : {Qt::NoModifier, Qt::ShiftModifier}) {
        window->periodBox->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(window->periodBox->hasFocus());
        QStringList walked = {QStringLiteral("period")};
        for (int key = 0; key < 60; ++key) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, direction);
            const QString now = controlName(*window, QApplication::focusWidget());
            if (now == walked.first())
                break;
            if (now != walked.last())
                walked << now;
        }
        if (direction == Qt::ShiftModifier)
            std::reverse(walked.begin() + 1, walked.end());
        QVERIFY2(walked == expected, qPrintable(walked.join(u' ')));
    }
    window->cancelReport();
}

// The menus name the keys of what has one, as the toolbar's tips and the Cancel button do.
void TestReportsWindow::menusShowTheShortcuts() {
    QList<QAction*> inMenus;
    for (QAction* menu : window->menuBar()->actions())
        inMenus << menu->menu()->actions();
    for (QAction* action :
         {window->exportAction, window->printAction, window->rerunAction, window->cancelAction}) {
        QVERIFY(inMenus.contains(action));
        const QString keys = action->shortcut().toString(QKeySequence::NativeText);
        QVERIFY(!keys.isEmpty());
        MenuEntry menu;
        menu.addAction(action);
        QStyleOptionMenuItem entry;
        menu.initStyleOption(&entry, action);
        QVERIFY2(entry.text.endsWith(u'\t' + keys), qPrintable(entry.text));
    }
    QVERIFY(window->cancelButton->toolTip().contains(QLatin1String("Esc")));
    QVERIFY(window->rerunAction->toolTip().contains(QLatin1String("F5")));
}

// Every kind of file the window writes, read back by a reader of its own, against SQL.
void TestReportsWindow::exportedFilesReadBack_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("key");
    // (key, value) rows: the values expected, in the order of the keys.
    QTest::addColumn<QString>("sql");
    const QString calls = QStringLiteral(" FROM public.callhistory2 WHERE ") + kPeriod;
    QTest::newRow("calls, CSV") << int(ReportsWindow::Calls) << "csv"
                                << "duration_seconds"
                                << "SELECT 0, extract(epoch FROM dur)::bigint::text" + calls;
    QTest::newRow("calls, JSON lines") << int(ReportsWindow::Calls) << "jsonl"
                                       << "call_to"
                                       << "SELECT 0, to_no" + calls;
    QTest::newRow("by hour, CSV")
        << int(ReportsWindow::ByHour) << "csv"
        << "calls_started"
        << "SELECT h, count(c.starttime)::text FROM generate_series(0, 23) AS h LEFT JOIN "
           "(SELECT starttime" +
               calls + ") AS c ON extract(hour FROM c.starttime) = h GROUP BY h";
    QTest::newRow("by day, JSON lines")
        << int(ReportsWindow::ByDay) << "jsonl"
        << "no_talk_time"
        << "SELECT starttime::date, (count(*) FILTER (WHERE dur = '0'))::text" + calls +
               " GROUP BY 1";
    QTest::newRow("by extension, CSV")
        << int(ReportsWindow::ByExtension) << "csv"
        << "received"
        << "SELECT e, count(c.to_no)::text FROM unnest(ARRAY['101', '102', '103']) AS e "
           "LEFT JOIN (SELECT to_no" +
               calls + ") AS c ON c.to_no = e GROUP BY e";
    QTest::newRow("call report, PDF") << int(ReportsWindow::Calls) << "pdf"
                                      << ""
                                      << "SELECT 0, count(*)::text" + calls;
    QTest::newRow("chart, PNG") << int(ReportsWindow::ByHour) << "png"
                                << ""
                                << "";
}

void TestReportsWindow::exportedFilesReadBack() {
    QFETCH(int, tab);
    QFETCH(QString, suffix);
    QFETCH(QString, key);
    QFETCH(QString, sql);
    showWeek();
    window->tabs->setCurrentIndex(tab);
    const QString path = dir.filePath(window->suggestedFileName(suffix));
    QVERIFY(path.endsWith(QLatin1String("2026-11-30_2026-12-06.") + suffix));
    const Status written = window->exportTo(path);
    QVERIFY2(written, qPrintable(written.reason()));
    if (suffix == QLatin1String("png")) {
        // The chart, not a blank sheet: its dark red bars and its dark labels.
        const QImage image(path);
        QCOMPARE(image.size(), QSize(1600, 900));
        qint64 red = 0, dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.red() > 0x60 && pixel.green() < 0x40 && pixel.blue() < 0x40)
                    ++red;
                else if (pixel.lightness() < 0x80)
                    ++dark;
            }
        QVERIFY2(red > image.width() * image.height() / 20, qPrintable(QString::number(red)));
        QVERIFY(dark > 1000);
        return;
    }
    QStringList expected = sqlList(sql);
    if (suffix == QLatin1String("pdf")) {
        const QString text = readWith(QStringLiteral("pdftotext"),
                                      {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY2(text.contains(QLatin1String("Period: 2026-11-30 to 2026-12-06")),
                 qPrintable(text));
        QVERIFY2(text.contains(
                     QRegularExpression(QStringLiteral("Calls\\s+%1\\b").arg(expected.value(0)))),
                 qPrintable(text));
        return;
    }
    const QJsonArray rows = QJsonDocument::fromJson(readWith(QStringLiteral("/usr/bin/python3"),
                                                             {QStringLiteral(READ_ROWS), path})
                                                        .toUtf8())
                                .array();
    QStringList found;
    for (const QJsonValue row : rows)
        found << row[key].toString();
    if (tab == ReportsWindow::Calls) {
        // Calls that start in the same second may come in either order.
        found.sort();
        expected.sort();
    }
    QCOMPARE(found, expected);
}

// Every part of the window is on the screen and no control is squeezed below its least size,
// on every tab. ctest runs this on a 1280x1024 screen at twice the scale as well.
void TestReportsWindow::fitsTheScreen() {
    showWeek();
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY2(screen.contains(window->frameGeometry()),
             qPrintable(QStringLiteral("%1x%2 window on a %3x%4 screen")
                            .arg(window->frameGeometry().width())
                            .arg(window->frameGeometry().height())
                            .arg(screen.width())
                            .arg(screen.height())));
    for (int tab = 0; tab < ReportsWindow::TabCount; ++tab) {
        window->tabs->setCurrentIndex(tab);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (QWidget* part : window->findChildren<QWidget*>()) {
            if (!part->isVisible() || part->isWindow())
                continue;
            const QRect place(part->mapToGlobal(QPoint(0, 0)), part->size());
            const QString name = QStringLiteral("%1 \"%2\" on tab %3")
                                     .arg(part->metaObject()->className(), part->objectName())
                                     .arg(tab);
            QVERIFY2(screen.contains(place), qPrintable(name));
            if (part->parentWidget()->layout() && !part->minimumSizeHint().isEmpty())
                QVERIFY2(part->width() >= part->minimumSizeHint().width() &&
                             part->height() >= part->minimumSizeHint().height(),
                         qPrintable(name));
        }
    }
}

void TestReportsWindow::screenshots() {
    const QString folder = qEnvironmentVariable("LINETALLY_SCREENSHOTS");
    if (folder.isEmpty())
        QSKIP("LINETALLY_SCREENSHOTS names no folder");
    QFile demo(QStringLiteral(LINETALLY_SOURCE_DIR "/scripts/demo-data.sql"));
    QVERIFY(demo.open(QIODevice::ReadOnly));
    QVERIFY(TestDatabase::resetTables());
    QStringList statements;
    // psql's own commands (\\gset) are left out; the statements are plain SQL.
    const QString script =
        QString::fromUtf8(demo.readAll()).replace(QStringLiteral(" \\gset"), QStringLiteral(";"));
    for (const QString& statement : script.split(QStringLiteral(";\n")))
        if (!statement.trimmed().isEmpty())
            statements << statement;
    QVERIFY(TestDatabase::execAll(statements));
    const bool dark = qEnvironmentVariableIsSet("LINETALLY_DARK");
    if (dark) {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        palette.setColor(QPalette::WindowText, Qt::white);
        palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        palette.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
        palette.setColor(QPalette::Text, Qt::white);
        palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        palette.setColor(QPalette::ButtonText, Qt::white);
        palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7a));
        QApplication::setPalette(palette);
    }
    window->resize(1280 / int(window->devicePixelRatio()),
                   1024 / int(window->devicePixelRatio()) - 40);
    window->periodBox->setCurrentIndex(int(reports::Period::Last7Days));
    QTRY_VERIFY_WITH_TIMEOUT(!window->running(), 60000);
    for (int tab = 0; tab < ReportsWindow::TabCount; ++tab) {
        window->tabs->setCurrentIndex(tab);
        QVERIFY(window->grab().save(QStringLiteral("%1/tab%2-%3x-%4.png")
                                        .arg(folder)
                                        .arg(tab)
                                        .arg(window->devicePixelRatio())
                                        .arg(dark ? "dark" : "light")));
    }
    QVERIFY(seedWeek());
}

QTEST_MAIN(TestReportsWindow)
#include "tst_reportswindow.moc"

// Reports window benchmark. The Calls tab of today (about 1,030,000 of the seeded 2,000,000
// calls): the time from the choice to the first rows painted, to the report's end, and the
// process's peak memory; sorting the listed calls. Then the report of the 90 days on the by-hour
// tab: the time until its table is filled, against psql running the GROUP BY of the same counts
// and sums, with what reading the calls alone takes of a whole report.
// Run it through scripts/bench, which seeds and starts the database.
#include "activity.h"
#include "calllistmodel.h"
#include "calllistview.h"
#include "config.h"
#include "dbconnection.h"
#include "dbroutines.h"
#include "psqltime.h"
#include "reportperiod.h"
#include "reportswindow.h"
#include "residentsize.h"
#include "searchquery.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

QTextStream out(stdout);

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString seconds(double value) {
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

QString mib(long kib) {
    return QString::number(double(kib) / 1024.0, 'f', 1) + QStringLiteral(" MiB");
}

struct Run {
    double firstRows = -1; // to the first rows painted in the Calls tab
    double figures = -1;   // to the figures tabs filled
    double all = 0;        // to the report's end: every call listed, every table filled
    int calls = 0;
};

// Starts a report with start() and runs the window's events until it ends.
Run timeReport(ReportsWindow& window, const std::function<void()>& start) {
    Run run;
    QElapsedTimer clock;
    QEventLoop loop;
    const QMetaObject::Connection shown =
        QObject::connect(window.callsModel(), &QAbstractItemModel::rowsInserted, &window, [&] {
            if (run.firstRows < 0 && window.callsModel()->count() > 0) {
                window.callsView()->viewport()->repaint();
                run.firstRows = clock.nsecsElapsed() / 1e9;
            }
        });
    const QMetaObject::Connection figured =
        QObject::connect(&window, &ReportsWindow::figuresShown, &window, [&] {
            if (run.figures < 0) {
                window.table(ReportsWindow::ByHour)->viewport()->repaint();
                run.figures = clock.nsecsElapsed() / 1e9;
            }
        });
    const QMetaObject::Connection ended =
        QObject::connect(&window, &ReportsWindow::reportEnded, &loop, &QEventLoop::quit);
    clock.start();
    start();
    while (window.running())
        loop.exec();
    run.all = clock.nsecsElapsed() / 1e9;
    run.calls = window.callsModel()->count();
    QObject::disconnect(shown);
    QObject::disconnect(figured);
    QObject::disconnect(ended);
    return run;
}

// The calls read through the report's own route (libpq, the first rows alone, then the cursor),
// each handed to a reader that keeps nothing; with firstOnly, only up to the first call.
double readCallsSeconds(const SearchQuery& query, bool firstOnly) {
    QElapsedTimer clock;
    clock.start();
    (void)dbRoutines::StreamCalls(
        dbRoutines::CurrentConnectionSettings(), query,
        [firstOnly](const dbRoutines::CallRecord&) { return !firstOnly; },
        DbConnection::Rows::FirstAtOnce); // timed, not checked
    return clock.nsecsElapsed() / 1e9;
}

// How far the process's resident size rises above where it stood while work() runs.
long peakAboveKiB(const std::function<void()>& work) {
    const long before = ResidentKiB();
    ResetPeakResident();
    work();
    return PeakResidentKiB() - before;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    config::SetConfigFilePath(dir.filePath(QStringLiteral("local.cfg")));
    config::SetConfig(QStringLiteral("dbuser"), qEnvironmentVariable("LINETALLY_TEST_USER"));
    config::SetConfig(QStringLiteral("dbpass"), qEnvironmentVariable("LINETALLY_TEST_PASSWORD"));
    qputenv("PGPASSWORD", qgetenv("LINETALLY_TEST_PASSWORD"));

    const QDate today = QDate::currentDate();
    ReportsWindow window([today] { return today; });
    window.tabs->setCurrentIndex(ReportsWindow::Calls);
    window.show();
    QCoreApplication::processEvents();
    const long before = ResidentKiB();

    // Today's calls: a first run finds the driver and warms the server's cache.
    const auto runToday = [&] {
        if (window.periodBox->currentIndex() == int(reports::Period::Today))
            window.runReport();
        else
            window.periodBox->setCurrentIndex(int(reports::Period::Today));
    };
    const Run warm = timeReport(window, runToday);
    std::vector<double> firstTimes, allTimes;
    long peak = 0;
    int calls = 0;
    for (int i = 0; i < 3; ++i) {
        ResetPeakResident();
        const Run run = timeReport(window, runToday);
        peak = std::max(peak, PeakResidentKiB());
        firstTimes.push_back(run.firstRows);
        allTimes.push_back(run.all);
        calls = run.calls;
    }
    // Sorting the listed calls by each column, as a header click does.
    std::vector<double> sortTimes;
    for (int column = 0; column < 4; ++column) {
        QElapsedTimer clock;
        clock.start();
        window.callsView()->sortByColumn(column, Qt::AscendingOrder);
        window.callsView()->viewport()->repaint();
        sortTimes.push_back(clock.nsecsElapsed() / 1e9);
    }
    window.callsView()->sortByColumn(-1, Qt::AscendingOrder);
    ReportFilter todayFilter;
    todayFilter.first = todayFilter.last = today;
    const SearchQuery todayQuery = BuildListedReportQuery(todayFilter);
    const double firstRow = readCallsSeconds(todayQuery, true);
    // Where the peak goes: today's calls read into the table of every number met alone (the top
    // numbers are counted from it). A lower bound: it may reuse what the window let go.
    const long numbersPeak = peakAboveKiB([&] {
        Activity::NumberTally numbers;
        (void)dbRoutines::ReadCalls(
            todayQuery, DbConnection::Rows::InBatches, [&](const dbRoutines::CallRecord& call) {
                numbers.add(call.callFrom, call.callTo,
                            CallRows::DurationSecondsOf(call.duration, call.durationText));
                return true;
            });
    });

    // The 90 days: the window's report against psql's GROUP BY by hour.
    const QDate first = today.addDays(-89);
    ReportFilter filter;
    filter.first = first;
    filter.last = today;
    const QString period = QStringLiteral("date(starttime) BETWEEN '%1' AND '%2'")
                               .arg(first.toString(Qt::ISODate), today.toString(Qt::ISODate));
    const QString byHour =
        QStringLiteral("SELECT extract(hour FROM starttime) h, count(*), sum(extract(epoch FROM "
                       "dur)) FILTER (WHERE dur > interval '0'), count(*) FILTER (WHERE dur = "
                       "interval '0') FROM public.callhistory2 WHERE %1 GROUP BY 1 ORDER BY 1")
            .arg(period);
    // The by-hour tab is shown: its figures come first, while the calls are still listed.
    window.tabs->setCurrentIndex(ReportsWindow::ByHour);
    const Run chosen = timeReport(window, [&] {
        window.fromEdit->setDate(first);
        window.toEdit->setDate(today);
    });
    psqlSeconds(byHour);
    std::vector<double> ratios, windowTimes, psqlTimes, allNinety;
    int ninetyDays = 0;
    for (int i = 0; i < 3; ++i) {
        psqlTimes.push_back(psqlSeconds(byHour));
        const Run run = timeReport(window, [&] { window.rerunAction->trigger(); });
        windowTimes.push_back(run.figures);
        allNinety.push_back(run.all);
        ninetyDays = run.calls;
        ratios.push_back(windowTimes.back() / psqlTimes.back());
    }
    const double reading = readCallsSeconds(BuildListedReportQuery(filter), false);

    out << "reports window, today's " << calls << " calls (warm-up " << seconds(warm.all) << "):\n";
    out << "  first rows on screen, median of 3: " << seconds(median(firstTimes)) << "\n";
    out << "  all rows and tables, median of 3: " << seconds(median(allTimes)) << "\n";
    out << "  of which the server and libpq to the first call: " << seconds(firstRow) << "\n";
    out << "  peak resident: " << mib(peak) << " (" << mib(before) << " before the first report)\n";
    out << "  of which the table of every number alone: at least " << mib(numbersPeak) << "\n";
    const char* columns[] = {"Call From", "Call To", "Start Time", "Duration"};
    for (int column = 0; column < 4; ++column)
        out << "  sort by " << columns[column] << ": " << seconds(sortTimes[size_t(column)])
            << "\n";
    out << "reports window, 90 days, " << ninetyDays << " calls (first report "
        << seconds(chosen.all) << "):\n";
    for (size_t i = 0; i < ratios.size(); ++i)
        out << "  run " << i + 1 << ": by-hour tab filled " << seconds(windowTimes[i])
            << " (every call listed " << seconds(allNinety[i]) << "), psql GROUP BY "
            << seconds(psqlTimes[i]) << "\n";
    out << "  the calls alone, read and decoded, nothing kept: " << seconds(reading) << "\n";
    out << "reports first rows: " << QString::number(median(firstTimes), 'f', 3) << " s\n";
    out << "reports peak: " << peak / 1024 << " MiB\n";
    out << "reports by hour/psql ratio: " << QString::number(median(ratios), 'f', 2) << "\n";
    return 0;
}

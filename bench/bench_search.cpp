// Search benchmark: the time from a Search click to the last listed row (chart included),
// against psql fetching the same rows, for 20,000 rows with and without the indexes a phone
// system does not have, and for 1,000,000 rows of one number on one day; the memory that
// 100,000 listed rows take and the peak of the million-row search; sorting a million rows.
// Run it through scripts/bench, which seeds and starts the database.
#include "calllistmodel.h"
#include "calllistview.h"
#include "config.h"
#include "dbconnection.h"
#include "dbroutines.h"
#include "form1.h"
#include "psqltime.h"
#include "residentsize.h"
#include "searchquery.h"
#include "textforms.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QTextStream out(stdout);

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString ms(double seconds, int decimals = 1) {
    return QString::number(seconds * 1000, 'f', decimals) + QStringLiteral(" ms");
}

void pickText(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(combo->findText(text));
}

// Runs the window's database work to its end: the search runs on the window's worker thread.
void waitForDatabase(Form1& window) {
    QEventLoop loop;
    QObject::connect(&window, &Form1::searchFinished, &loop, &QEventLoop::quit);
    QObject::connect(&window, &Form1::loadFinished, &loop, &QEventLoop::quit);
    while (window.databaseBusy())
        loop.exec();
}

// The Search button, up to the last listed row and the chart drawn.
void search(Form1& window) {
    window.Command2_Click();
    waitForDatabase(window);
}

bool superuserExec(const QString& statement) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench"));
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(5480);
    db.setDatabaseName(QStringLiteral("phonesystem"));
    db.setUserName(qEnvironmentVariable("LINETALLY_TEST_SUPERUSER"));
    db.setPassword(qEnvironmentVariable("LINETALLY_TEST_SUPERPASSWORD"));
    bool ok = db.open();
    if (ok) {
        QSqlQuery query(db);
        ok = query.exec(statement);
        if (!ok)
            out << "failed: " << statement << ": " << query.lastError().text() << Qt::endl;
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return ok;
}

struct Comparison {
    double psql = 0, search = 0;
    int rows = 0;
};

// The Search button's path against psql for the same statement, alternating, median of each.
Comparison compare(Form1& window, const QString& psqlStatement, int repetitions) {
    std::vector<double> psqlTimes, searchTimes;
    Comparison result;
    for (int i = 0; i < repetitions; ++i) {
        psqlTimes.push_back(psqlSeconds(psqlStatement));
        QElapsedTimer clock;
        clock.start();
        search(window);
        searchTimes.push_back(clock.nsecsElapsed() / 1e9);
        result.rows = window.listItems->count();
    }
    result.psql = median(psqlTimes);
    result.search = median(searchTimes);
    return result;
}

QString statementFor(const QString& condition, const QString& dateText) {
    return QStringLiteral("SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE "
                          "%1 AND (date(starttime) = '%2')")
        .arg(condition, TextForms::DateTextToIso(dateText));
}

// What the ODBC driver alone takes for a statement: connect, execute, fetch every row into the
// bound buffers, read nothing. The part of a search no code of the program can shorten.
double driverAloneSeconds(const SearchQuery& query, int repetitions) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer clock;
        clock.start();
        DbConnection connection;
        const Status opened =
            connection.open(dbRoutines::WorkingConnectionString(dbRoutines::DbDriver),
                            config::DatabaseOwnerAccount());
        const Status executed =
            opened ? connection.execute(query.statement, query.parameters, DbConnection::Rows::Many)
                   : opened;
        const Status read = executed ? connection.forEachRow([] { return true; }) : executed;
        // A run that read nothing times nothing: the figure beside it says so.
        if (!read)
            out << "driver alone failed: " << read.reason() << Qt::endl;
        connection.close();
        times.push_back(clock.nsecsElapsed() / 1e9);
    }
    return median(times);
}

void report(const QString& label, const Comparison& c) {
    out << label << ": " << c.rows << " rows, psql " << ms(c.psql) << ", Search click "
        << ms(c.search) << " (chart included)\n";
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    config::SetConfigFilePath(dir.filePath(QStringLiteral("local.cfg")));
    config::SetConfig(QStringLiteral("dbuser"), qEnvironmentVariable("LINETALLY_TEST_USER"));
    config::SetConfig(QStringLiteral("dbpass"), qEnvironmentVariable("LINETALLY_TEST_PASSWORD"));
    qputenv("PGPASSWORD", qgetenv("LINETALLY_TEST_PASSWORD"));

    // The schema's indexes on the day; a run before may have dropped them.
    superuserExec(QStringLiteral("SET client_min_messages = warning; CREATE INDEX IF NOT EXISTS "
                                 "callhistory2_from_day ON public.callhistory2 (from_no, "
                                 "(date(starttime)))"));
    superuserExec(QStringLiteral("SET client_min_messages = warning; CREATE INDEX IF NOT EXISTS "
                                 "callhistory2_to_day ON public.callhistory2 (to_no, "
                                 "(date(starttime)))"));
    superuserExec(QStringLiteral("ANALYZE public.callhistory2"));

    Form1 window;
    window.Form_Load();
    waitForDatabase(window);
    window.show();
    const QString today = window.Combo2->itemText(0);
    const QString yesterday = window.Combo2->itemText(1);
    const QString both2000 = QStringLiteral("(to_no='2000' or from_no='2000')");

    // 20,000 rows with the indexes, and the chart's share of the search.
    pickText(window.Combo2, today);
    pickText(window.Combo1, QStringLiteral("Both"));
    pickText(window.Combo3, QStringLiteral("2000"));
    const Comparison indexed = compare(window, statementFor(both2000, today), 9);
    std::vector<double> redrawTimes;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.RefreshGraph();
        redrawTimes.push_back(clock.nsecsElapsed() / 1e9);
    }
    const double redraw = median(redrawTimes);

    // Memory: 100,000 listed rows, measured against the empty list.
    window.listItems->clear();
    const long before = ResidentKiB();
    pickText(window.Combo2, yesterday);
    pickText(window.Combo1, QStringLiteral("From"));
    pickText(window.Combo3, QStringLiteral("3000"));
    search(window);
    const long after = ResidentKiB();
    const int hundredThousand = window.listItems->count();

    // A million rows of one number on one day: time, and the peak above what was resident before.
    window.listItems->clear();
    pickText(window.Combo2, today);
    pickText(window.Combo3, QStringLiteral("4000"));
    const long beforeMillion = ResidentKiB();
    ResetPeakResident();
    search(window);
    const long millionPeak = PeakResidentKiB() - beforeMillion;
    const Comparison million =
        compare(window, statementFor(QStringLiteral("from_no='4000'"), today), 5);

    // Sorting the million listed rows by each column, as a header click does.
    std::vector<double> sortTimes;
    for (int column = 0; column < 4; ++column) {
        QElapsedTimer clock;
        clock.start();
        window.ListView1->sortByColumn(column, Qt::AscendingOrder);
        sortTimes.push_back(clock.nsecsElapsed() / 1e9);
    }
    QElapsedTimer clock;
    clock.start();
    search(window);
    const double searchWhileSorted = clock.nsecsElapsed() / 1e9;
    window.ListView1->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);

    // The driver's own share of the million-row search, in time and at its memory peak.
    window.listItems->clear();
    const SearchQuery millionQuery =
        BuildSearchQuery({QStringLiteral("From"), today, QStringLiteral("4000")});
    const long beforeDriver = ResidentKiB();
    ResetPeakResident();
    driverAloneSeconds(millionQuery, 1);
    const long driverPeak = PeakResidentKiB() - beforeDriver;
    const double millionDriver = driverAloneSeconds(millionQuery, 5);

    // The same 20,000-row search without the indexes: a sequential scan, as on a phone system.
    superuserExec(QStringLiteral("DROP INDEX callhistory2_from_day, callhistory2_to_day"));
    superuserExec(QStringLiteral("ANALYZE public.callhistory2"));
    pickText(window.Combo3, QStringLiteral("2000"));
    pickText(window.Combo1, QStringLiteral("Both"));
    const Comparison noIndex = compare(window, statementFor(both2000, today), 7);

    report(QStringLiteral("indexed, 20,000 rows"), indexed);
    out << "chart redraw, median:     " << ms(redraw, 2) << " ("
        << QString::number(100 * redraw / indexed.search, 'f', 2) << "% of the search)\n";
    out << "memory for " << hundredThousand
        << " rows: " << QString::number((after - before) / 1024.0, 'f', 1) << " MiB\n";
    report(QStringLiteral("no index, 20,000 rows"), noIndex);
    report(QStringLiteral("one number, one day"), million);
    out << "  of which the ODBC driver alone (connect, execute, fetch, read nothing): "
        << ms(millionDriver) << " = " << QString::number(millionDriver / million.psql, 'f', 2)
        << " x psql, holding " << QString::number(driverPeak / 1024.0, 'f', 1)
        << " MiB at its peak\n";
    out << "1M search peak memory: " << QString::number(millionPeak / 1024.0, 'f', 1)
        << " MiB above the " << QString::number(beforeMillion / 1024.0, 'f', 1)
        << " MiB resident before it\n";
    const char* columns[] = {"Call From", "Call To", "Start Time", "Duration"};
    for (int column = 0; column < 4; ++column)
        out << "sort " << million.rows << " rows by " << columns[column] << ": "
            << ms(sortTimes[size_t(column)], 0) << "\n";
    out << "search of " << million.rows
        << " rows while sorted by Duration: " << ms(searchWhileSorted, 0) << "\n";
    out << "no-index search/psql ratio: " << QString::number(noIndex.search / noIndex.psql, 'f', 2)
        << "\n";
    out << "1M search/psql ratio: " << QString::number(million.search / million.psql, 'f', 2)
        << "\n";
    out << "search/psql ratio: " << QString::number(indexed.search / indexed.psql, 'f', 2) << "\n";
    return 0;
}

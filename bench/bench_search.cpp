// Search benchmark: the time from a Search click to the last listed row (chart included),
// against psql fetching the same rows, and the memory that 100,000 listed rows take.
// Run it through scripts/bench, which seeds and starts the database.
#include "calllistmodel.h"
#include "config.h"
#include "form1.h"
#include "residentsize.h"
#include "textforms.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void pickText(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(combo->findText(text));
}

double psqlSeconds(const QString& statement) {
    QProcess psql;
    psql.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    psql.start(QStringLiteral("psql"),
               {"-X", "-q", "-A", "-t", "-h", "localhost", "-p", "5480", "-U",
                qEnvironmentVariable("LINETALLY_TEST_USER"), "-d", "phonesystem", "-c", statement});
    psql.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int repetitions = 9;
    QTemporaryDir dir;
    config::SetConfigFilePath(dir.filePath(QStringLiteral("local.cfg")));
    config::SetConfig(QStringLiteral("dbuser"), qEnvironmentVariable("LINETALLY_TEST_USER"));
    config::SetConfig(QStringLiteral("dbpass"), qEnvironmentVariable("LINETALLY_TEST_PASSWORD"));
    qputenv("PGPASSWORD", qgetenv("LINETALLY_TEST_PASSWORD"));

    Form1 window;
    window.Form_Load();
    window.show();
    const QString today = window.Combo2->itemText(0);
    pickText(window.Combo2, today);
    pickText(window.Combo1, QStringLiteral("Both"));
    pickText(window.Combo3, QStringLiteral("2000"));

    const QString iso = TextForms::DateTextToIso(today);
    const QString psqlStatement =
        QStringLiteral("SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE "
                       "(to_no='2000' or from_no='2000') AND (date(starttime) = '%1')")
            .arg(iso);

    std::vector<double> psqlTimes, searchTimes, redrawTimes, rereadTimes;
    int rows = 0;
    for (int i = 0; i < repetitions; ++i) {
        psqlTimes.push_back(psqlSeconds(psqlStatement));
        QElapsedTimer clock;
        clock.start();
        window.Command2_Click();
        searchTimes.push_back(clock.nsecsElapsed() / 1e9);
        rows = window.listItems->count();
        clock.restart();
        window.RefreshGraph();
        redrawTimes.push_back(clock.nsecsElapsed() / 1e9);
        // A changed list makes the chart read every row's times again.
        window.listItems->setText(0, 0, window.listItems->text(0, 0));
        clock.restart();
        window.RefreshGraph();
        rereadTimes.push_back(clock.nsecsElapsed() / 1e9);
    }

    // Memory: 100,000 listed rows, measured against the empty list.
    window.listItems->clear();
    const long before = ResidentKiB();
    pickText(window.Combo2, window.Combo2->itemText(1));
    pickText(window.Combo1, QStringLiteral("From"));
    pickText(window.Combo3, QStringLiteral("3000"));
    window.Command2_Click();
    const long after = ResidentKiB();
    const int bigRows = window.listItems->count();

    const double a = median(psqlTimes), b = median(searchTimes), r = median(redrawTimes),
                 reread = median(rereadTimes);
    out << "rows listed per search:   " << rows << "\n";
    out << "psql, median of " << repetitions << ":        " << QString::number(a * 1000, 'f', 1)
        << " ms\n";
    out << "Search click, median:     " << QString::number(b * 1000, 'f', 1)
        << " ms (chart included)\n";
    out << "chart redraw, median:     " << QString::number(r * 1000, 'f', 2) << " ms ("
        << QString::number(100 * r / b, 'f', 2) << "% of the search)\n";
    out << "chart after a list change: " << QString::number(reread * 1000, 'f', 2)
        << " ms (every row's times read again, as after a search)\n";
    out << "memory for " << bigRows
        << " rows:  " << QString::number((after - before) / 1024.0, 'f', 1) << " MiB\n";
    out << "search/psql ratio: " << QString::number(b / a, 'f', 2) << "\n";
    return 0;
}

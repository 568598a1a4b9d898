// What the window writes and prints: the current tab's rows, the call report, the chart.
#include "calllistmodel.h"
#include "chartview.h"
#include "config.h"
#include "identity.h"
#include "login.h"
#include "output.h"
#include "pdfreport.h"
#include "reportswindow.h"
#include "reporttally.h"
#include "rowwriter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>

#include <cstdio>

namespace {

const std::vector<Column> kCallColumns = {
    {"call_from", "Call From", 16},
    {"call_to", "Call To", 16},
    {"start", "Start Time", 19},
    {"duration", "Duration", 9, true},
    {"duration_seconds", "Seconds", 7, true},
};

// A column key from its title: "Talk time" is talk_time.
QByteArray keyOf(const QString& title) {
    QByteArray key;
    for (const QChar c : title.toLower())
        key += c.isLetterOrNumber() && c.unicode() < 0x80 ? char(c.unicode()) : '_';
    return key;
}

Status writeCalls(Format format, Output& output, const CallListModel& model) {
    RowWriter writer(format, output, kCallColumns, QStringLiteral("Calls"));
    bool ok = writer.header();
    const CallRows& rows = model.rows();
    for (int row = 0; ok && row < model.count(); ++row) {
        const QByteArray start = model.text(row, 2).toUtf8();
        const QByteArray duration = model.text(row, 3).toUtf8();
        const std::optional<double> seconds = rows.durationSeconds(row);
        ok = writer.row({Cell::of(rows.callFrom(row)), Cell::of(rows.callTo(row)),
                         Cell::startTime(start, rows.start(row)), Cell::duration(duration, seconds),
                         seconds ? Cell::of(qint64(*seconds)) : Cell::null()});
    }
    return writer.end();
}

// The rows of a figures table in the order shown.
Status writeTable(Format format, Output& output, const QAbstractItemModel& model,
                  const QString& sheet) {
    std::vector<QByteArray> keys, titles;
    for (int column = 0; column < model.columnCount(); ++column) {
        titles.push_back(model.headerData(column, Qt::Horizontal).toString().toUtf8());
        keys.push_back(keyOf(QString::fromUtf8(titles.back())));
    }
    std::vector<Column> columns;
    for (size_t i = 0; i < keys.size(); ++i)
        columns.push_back({keys[i].constData(), titles[i].constData(), 12, i > 0});
    RowWriter writer(format, output, columns, sheet);
    bool ok = writer.header();
    std::vector<QByteArray> texts(columns.size());
    std::vector<Cell> cells(columns.size());
    for (int row = 0; ok && row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            const QVariant shown = index.data(Qt::DisplayRole);
            const QVariant seconds = index.data(ReportsWindow::kSecondsRole);
            texts[size_t(column)] = shown.toString().toUtf8();
            Cell& cell = cells[size_t(column)];
            if (seconds.isValid())
                cell = Cell::duration(texts[size_t(column)], seconds.toDouble());
            else if (shown.typeId() == QMetaType::LongLong || shown.typeId() == QMetaType::Int)
                cell = Cell::of(shown.toLongLong());
            else
                cell = Cell::of(QByteArrayView(texts[size_t(column)]));
        }
        ok = writer.row(cells);
    }
    return writer.end();
}

} // namespace

QString ReportsWindow::suggestedFileName(const QString& suffix) const {
    static const QStringList kinds = {QStringLiteral("calls"),        QStringLiteral("by-hour"),
                                      QStringLiteral("week-by-hour"), QStringLiteral("by-day"),
                                      QStringLiteral("by-extension"), QStringLiteral("top-numbers"),
                                      QStringLiteral("capacity")};
    const QString what = suffix == QLatin1String("pdf") ? QStringLiteral("report")
                                                        : kinds.value(tabs->currentIndex());
    const auto [first, last] = period();
    return reports::SuggestedFileName(what, first, last, suffix);
}

Status ReportsWindow::exportTo(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const Tab tab = Tab(tabs->currentIndex());
    if (suffix == QLatin1String("png")) {
        if (tab == Calls || !charts_[tab]->hasChart())
            return Status::failure(QStringLiteral("This tab has no chart to save; choose one of "
                                                  "the figures tabs."));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            !charts_[tab]->image(QSize(1600, 900)).save(&file, "PNG") || !file.commit())
            return Status::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return {};
    }
    if (suffix == QLatin1String("pdf") && !shown_)
        return Status::failure(QStringLiteral("There is no report to write yet."));
    const bool report = suffix == QLatin1String("pdf");
    Format format = Format::Csv;
    if (suffix == QLatin1String("jsonl"))
        format = Format::JsonLines;
    else if (suffix == QLatin1String("xlsx"))
        format = Format::Xlsx;
    else if (!report && suffix != QLatin1String("csv"))
        return Status::failure(
            QStringLiteral("%1: name a .csv, .jsonl, .xlsx, .pdf or .png file").arg(path));
    auto opened = Output::Open(path);
    if (!opened)
        return opened.status;
    Output& output = *opened.value;
    Status written;
    if (report) {
        const Result<QByteArray> pdf =
            files::PdfReport(shown_->figures(), files::LocalePaperSize());
        written = pdf.status;
        if (written)
            (void)output.write(pdf.value); // a failed write is what finish() reports
    } else if (tab == Calls) {
        written = writeCalls(format, output, *callsModel_);
    } else {
        written = writeTable(format, output, *tables_[tab]->model(),
                             tabs->tabText(tab).remove(QLatin1Char('&')));
    }
    if (!written) {
        output.abandon();
        return written;
    }
    return output.finish();
}

void ReportsWindow::exportChosen() {
    const QString filters = QStringLiteral(
        "Spreadsheet (*.xlsx);;CSV (*.csv);;JSON lines (*.jsonl);;PDF report (*.pdf);;"
        "Chart picture (*.png)");
    QString chosenFilter;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"),
                                                      suggestedFileName(QStringLiteral("xlsx")),
                                                      filters, &chosenFilter);
    if (path.isEmpty())
        return;
    if (const Status status = exportTo(path); !status)
        QMessageBox::warning(this, QStringLiteral("Linetally Reports"),
                             QStringLiteral("Nothing was written.\n\n") + status.reason());
}

void ReportsWindow::printChosen() {
    QPrinter printer;
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* paper) {
        QPainter painter(paper);
        const Tab tab = Tab(tabs->currentIndex());
        const QRectF page = paper->pageRect(QPrinter::DevicePixel)
                                .translated(-paper->pageRect(QPrinter::DevicePixel).topLeft());
        if (tab != Calls && charts_[tab]->hasChart())
            charts_[tab]->paintChart(
                painter, QRectF(page.topLeft(), QSizeF(page.width(), page.height() / 2)));
    });
    preview.exec();
}

void ReportsWindow::loginChosen() {
    login dialog(this);
    dialog.exec();
    runReport();
}

namespace reports {

int Run(int argc, char* argv[]) {
    // Asked from a terminal, perhaps without a display: answered before any window.
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs("Usage: linetally reports\n"
                       "Opens the reports window: a period's calls and their figures by hour, "
                       "week by hour,\nday, extension, number and capacity, as tables and "
                       "charts, to export or print.\n",
                       stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    SetApplicationIdentity();
    config::LoadConfig();
    ReportsWindow window;
    while (config::GetConfig(QStringLiteral("dbuser")).isEmpty()) {
        login dialog(&window);
        if (dialog.exec() != QDialog::Accepted &&
            config::GetConfig(QStringLiteral("dbuser")).isEmpty())
            return 1;
    }
    window.show();
    window.runReport();
    return app.exec();
}

} // namespace reports

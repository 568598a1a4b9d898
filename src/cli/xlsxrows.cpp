// The spreadsheet side of RowWriter: rows go to a constant-memory XLSX workbook in a file of its
// own, which end() copies into the output, so that a spreadsheet is put in place as any other
// report is: whole, or not at all.
#include "rowwriter.h"

#include "textforms.h"

#include <QDir>

#include <cstdio>

bool RowWriter::xlsxHeader() {
    xlsxFile_ = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                 QStringLiteral("/linetally-XXXXXX.xlsx"));
    if (!xlsxFile_->open()) {
        xlsxFailure_ = Status::failure(
            QStringLiteral("The spreadsheet cannot be written in %1: %2")
                .arg(QDir::toNativeSeparators(QDir::tempPath()), xlsxFile_->errorString()));
        return false;
    }
    auto created = files::XlsxWorkbook::Create(xlsxFile_->fileName(), TextForms::StartTimeFormat());
    if (!created) {
        xlsxFailure_ = created.status;
        return false;
    }
    workbook_ = std::move(created.value);
    std::vector<files::XlsxColumn> columns;
    for (const Column& column : columns_)
        columns.push_back({QString::fromUtf8(column.title), column.width});
    xlsxFailure_ = workbook_->addSheet(sheet_, std::move(columns));
    return xlsxFailure_.ok();
}

bool RowWriter::xlsxRow(std::span<const Cell> cells) {
    if (!workbook_ || !xlsxFailure_)
        return false;
    xlsxCells_.clear();
    for (const Cell& cell : cells) {
        switch (cell.kind) {
        case Cell::Kind::Null:
            xlsxCells_.push_back(files::XlsxCell::empty());
            break;
        case Cell::Kind::Number:
            xlsxCells_.push_back(files::XlsxCell::of(cell.number));
            break;
        case Cell::Kind::Text:
            if (cell.decimal) {
                // Written by us with its decimals ("5.25"): a number a spreadsheet can add up.
                xlsxCells_.push_back(
                    files::XlsxCell{files::XlsxCell::Kind::Number, cell.text.toDouble(), {}});
                break;
            }
            xlsxCells_.push_back(files::XlsxCell::of(cell.text));
            break;
        case Cell::Kind::StartTime: {
            const TextForms::DateTimeFields at = TextForms::FieldsOfStartSeconds(cell.number);
            xlsxCells_.push_back(files::XlsxCell::dateTime(at.year, at.month, at.day, at.hour,
                                                           at.minute, at.second, cell.text));
            break;
        }
        case Cell::Kind::Duration:
            xlsxCells_.push_back(files::XlsxCell::duration(cell.seconds, cell.text));
            break;
        }
    }
    xlsxFailure_ = workbook_->row(xlsxCells_);
    return xlsxFailure_.ok();
}

Status RowWriter::xlsxEnd() {
    if (!workbook_ && xlsxFailure_)
        xlsxHeader(); // a report that wrote no header still gets its file
    if (!xlsxFailure_) {
        workbook_.reset();
        return xlsxFailure_;
    }
    const Status closed = workbook_->close();
    for (const QString& note : workbook_->notes())
        std::fprintf(stderr, "%s\n", note.toLocal8Bit().constData());
    workbook_.reset();
    if (!closed)
        return closed;
    // The workbook wrote its own file; read it from the start through a new descriptor.
    QFile written(xlsxFile_->fileName());
    if (!written.open(QIODevice::ReadOnly))
        return Status::failure(
            QStringLiteral("The spreadsheet cannot be read back: %1").arg(written.errorString()));
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 read = written.read(chunk.data(), chunk.size());
        if (read < 0)
            return Status::failure(QStringLiteral("The spreadsheet cannot be read back: %1")
                                       .arg(written.errorString()));
        if (read == 0 || !output_.write(QByteArrayView(chunk.constData(), read)).ok())
            break;
    }
    xlsxFile_.reset();
    return {};
}

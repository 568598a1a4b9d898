#include "xlsxworkbook.h"

#include <QDate>
#include <QDir>

#include <xlsxwriter.h>

#include <cmath>

namespace files {

namespace {

constexpr int kMostCharacters = 32767; // the most a cell holds
constexpr double kSecondsPerDay = 86400;
// Spreadsheets count days from 12/30/1899, but wrongly before 3/1/1900 (they take 1900 for a
// leap year): earlier starts are written as text.
const qint64 kFirstDayCounted = QDate(1900, 3, 1).toJulianDay();
const qint64 kDayZero = QDate(1899, 12, 30).toJulianDay();

QByteArray utf8(const QString& text) {
    return text.toUtf8();
}

} // namespace

XlsxCell XlsxCell::dateTime(int year, int month, int day, int hour, int minute, int second,
                            QByteArrayView fallback) {
    const QDate date(year, month, day);
    if (!date.isValid() || date.toJulianDay() < kFirstDayCounted || year > 9999)
        return of(fallback);
    const double days = double(date.toJulianDay() - kDayZero) +
                        double(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
    return {Kind::DateTime, days, fallback};
}

XlsxCell XlsxCell::duration(std::optional<double> seconds, QByteArrayView fallback) {
    // Beyond a million years (or not finite) it is no length a spreadsheet shows.
    if (!seconds || !std::isfinite(*seconds) || std::abs(*seconds) > 3.2e13)
        return of(fallback);
    return {Kind::Duration, *seconds, fallback};
}

Result<std::unique_ptr<XlsxWorkbook>>
XlsxWorkbook::Create(const QString& path, const QString& dateTimeFormat, int sheetRows) {
    std::unique_ptr<XlsxWorkbook> workbook(new XlsxWorkbook);
    workbook->sheetRows_ = std::max(1, std::min(sheetRows, kSheetRows));
    const QByteArray tmp = QDir::tempPath().toLocal8Bit();
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmp.constData());
    options.use_zip64 = LXW_TRUE;
    workbook->book_ = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!workbook->book_)
        return Failed<std::unique_ptr<XlsxWorkbook>>(
            QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(path)));
    lxw_workbook* book = workbook->book_;
    workbook->header_ = workbook_add_format(book);
    format_set_bold(workbook->header_);
    workbook->dateTime_ = workbook_add_format(book);
    format_set_num_format(workbook->dateTime_,
                          utf8(SpreadsheetDateTimeFormat(dateTimeFormat)).constData());
    workbook->duration_ = workbook_add_format(book);
    format_set_num_format(workbook->duration_, "[h]:mm:ss");
    return Succeeded(std::move(workbook));
}

XlsxWorkbook::~XlsxWorkbook() {
    // A workbook that was not closed is dropped: workbook_close() is the only way to free it,
    // and it writes the file, which the caller then leaves unused.
    if (book_)
        workbook_close(book_);
}

Status XlsxWorkbook::written(int error, const char* what) {
    if (error == LXW_NO_ERROR)
        return {};
    return Status::failure(
        QStringLiteral("The spreadsheet's %1 cannot be written: %2")
            .arg(QLatin1String(what), QString::fromUtf8(lxw_strerror(lxw_error(error)))));
}

Status XlsxWorkbook::addSheet(const QString& name, std::vector<XlsxColumn> columns) {
    endSheet();
    columns_ = std::move(columns);
    name_ = name;
    part_ = 1;
    return startSheet(name);
}

Status XlsxWorkbook::startSheet(const QString& name) {
    // Sheet names are 31 characters at most and hold none of []:*?/\ .
    QString shown = name;
    for (QChar& c : shown)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = u'_';
    sheet_ = workbook_add_worksheet(book_, utf8(shown.left(31)).constData());
    if (!sheet_)
        return Status::failure(
            QStringLiteral("The spreadsheet cannot hold a sheet named %1").arg(shown));
    rowInSheet_ = 0;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const double width = std::max<qsizetype>(columns_[c].width, columns_[c].title.size()) + 2;
        if (const Status set =
                written(worksheet_set_column(sheet_, lxw_col_t(c), lxw_col_t(c), width, nullptr),
                        "column width");
            !set)
            return set;
        if (const Status set =
                written(worksheet_write_string(sheet_, 0, lxw_col_t(c),
                                               utf8(columns_[c].title).constData(), header_),
                        "header");
            !set)
            return set;
    }
    worksheet_freeze_panes(sheet_, 1, 0);
    return {};
}

// The filter covers the header and the rows written; it is placed once they are known.
void XlsxWorkbook::endSheet() {
    if (sheet_ && !columns_.empty())
        worksheet_autofilter(sheet_, 0, 0, lxw_row_t(rowInSheet_), lxw_col_t(columns_.size() - 1));
    sheet_ = nullptr;
}

Status XlsxWorkbook::row(const std::vector<XlsxCell>& cells) {
    if (!sheet_)
        return Status::failure(QStringLiteral("The spreadsheet has no sheet to write to"));
    if (rowInSheet_ == sheetRows_) {
        endSheet();
        ++part_;
        const QString next = QStringLiteral(" (%1)").arg(part_);
        const QString continued = name_.left(31 - int(next.size())) + next;
        notes_ << QStringLiteral("Sheet \"%1\" holds %2 rows; the rows after them go on in sheet "
                                 "\"%3\".")
                      .arg(part_ == 2 ? name_ : name_ + QStringLiteral(" (%1)").arg(part_ - 1))
                      .arg(sheetRows_)
                      .arg(continued);
        if (const Status started = startSheet(continued); !started)
            return started;
    }
    const lxw_row_t at = lxw_row_t(++rowInSheet_);
    for (size_t c = 0; c < cells.size() && c < columns_.size(); ++c) {
        const XlsxCell& cell = cells[c];
        const lxw_col_t column = lxw_col_t(c);
        int error = LXW_NO_ERROR;
        switch (cell.kind) {
        case XlsxCell::Kind::Empty:
            break;
        case XlsxCell::Kind::Number:
            error = worksheet_write_number(sheet_, at, column, cell.number, nullptr);
            break;
        case XlsxCell::Kind::DateTime:
            error = worksheet_write_number(sheet_, at, column, cell.number, dateTime_);
            break;
        case XlsxCell::Kind::Duration:
            error =
                worksheet_write_number(sheet_, at, column, cell.number / kSecondsPerDay, duration_);
            break;
        case XlsxCell::Kind::Text: {
            // Always a string cell (never a formula). Text that is no UTF-8 is written with
            // replacement characters; text longer than a cell holds is cut.
            QByteArrayView text = cell.text;
            const bool tooLong = text.size() > kMostCharacters;
            if (tooLong || !text.isValidUtf8()) {
                QString readable = QString::fromUtf8(text);
                if (readable.size() > kMostCharacters) {
                    qsizetype keep = kMostCharacters;
                    if (readable.at(keep - 1).isHighSurrogate())
                        --keep;
                    readable.truncate(keep);
                    ++cut_;
                }
                scratch_ = readable.toUtf8();
                text = scratch_;
            }
            scratch_ = text.toByteArray(); // libxlsxwriter wants the text ended by a zero byte
            error = worksheet_write_string(sheet_, at, column, scratch_.constData(), nullptr);
            break;
        }
        }
        if (const Status set = written(error, "cells"); !set)
            return set;
    }
    return {};
}

Status XlsxWorkbook::close() {
    endSheet();
    if (cut_ > 0)
        notes_ << QStringLiteral("%1 values were longer than the 32,767 characters a spreadsheet "
                                 "cell holds and were cut.")
                      .arg(cut_);
    lxw_workbook* book = book_;
    book_ = nullptr;
    return written(workbook_close(book), "file");
}

QString SpreadsheetDateTimeFormat(const QString& qtFormat) {
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < qtFormat.size();) {
        const QChar c = qtFormat.at(i);
        qsizetype run = 1;
        while (i + run < qtFormat.size() && qtFormat.at(i + run) == c)
            ++run;
        if (c == u'\'') {
            // 'text' is literal, '' a quote.
            if (run >= 2 && run % 2 == 0) {
                out += QStringLiteral("\\'");
                i += 2;
                continue;
            }
            const qsizetype end = qtFormat.indexOf(u'\'', i + 1);
            const QString literal = qtFormat.mid(i + 1, end < 0 ? -1 : end - i - 1);
            out += u'"' + QString(literal).replace(u'"', QString()) + u'"';
            i = end < 0 ? qtFormat.size() : end + 1;
            continue;
        }
        const QString letters(run, c);
        if (c == u'd' || c == u'y' || c == u's') {
            out += letters.toLower();
        } else if (c == u'M') {
            out += QString(run, u'm');
        } else if (c == u'h' || c == u'H') {
            out += QString(std::min<qsizetype>(run, 2), u'h');
            afterHour = true;
        } else if (c == u'm') {
            out += afterHour ? letters : QString(run, u'm'); // minutes follow an hour
        } else if (c == u'A' || c == u'a') {
            out += QStringLiteral("AM/PM");
            if (i + run < qtFormat.size() && qtFormat.at(i + run).toLower() == u'p')
                ++run;
        } else if (c == u'p' || c == u'P') {
            // the P of AP, handled above
        } else if (QStringLiteral(" /:.,-").contains(c)) {
            out += letters;
        } else if (c == u't' || c == u'z') {
            // no time zone and no fraction: the database holds neither
        } else {
            for (qsizetype k = 0; k < run; ++k)
                out += u'\\' + QString(c);
        }
        i += run;
    }
    return out.trimmed();
}

} // namespace files

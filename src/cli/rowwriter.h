#pragma once

#include "output.h"
#include "xlsxworkbook.h"

#include <QByteArrayView>

#include <QTemporaryFile>

#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// How a report is written: aligned columns for people, RFC 4180 CSV or one JSON object a line
// for scripts, or a spreadsheet file (XLSX) for spreadsheets.
enum class Format { Table, Csv, JsonLines, Xlsx };

// One column of a report: its key (the CSV header and the JSON name), its title and width in the
// table, and whether the table aligns it to the right.
struct Column {
    const char* key;
    const char* title;
    int width;
    bool right = false;
};

// One value of a row: nothing (a database NULL: an empty CSV field, null in JSON), a whole
// number, or UTF-8 text. A start time or a duration is its text in the text formats and a
// date-time or duration cell in a spreadsheet.
struct Cell {
    enum class Kind { Null, Number, Text, StartTime, Duration };
    Kind kind = Kind::Null;
    qint64 number = 0; // Number: the value; StartTime: its start seconds (TextForms)
    QByteArrayView text;
    std::optional<double> seconds; // Duration: the length, when it can be read

    static Cell null() { return {}; }
    static Cell of(qint64 value) { return {Kind::Number, value, {}, {}}; }
    static Cell of(QByteArrayView value) {
        return value.isNull() ? Cell{} : Cell{Kind::Text, 0, value, {}};
    }
    // startSeconds < 0: the start is only text (or none), written as such everywhere.
    static Cell startTime(QByteArrayView text, qint64 startSeconds) {
        return startSeconds < 0 ? of(text) : Cell{Kind::StartTime, startSeconds, text, {}};
    }
    static Cell duration(QByteArrayView text, std::optional<double> seconds) {
        return Cell{Kind::Duration, 0, text, seconds};
    }
    // The cell as the text formats write it.
    Cell plain() const {
        return kind == Kind::StartTime || kind == Kind::Duration ? of(text) : *this;
    }
    // A number with a fraction, already written with its decimals ("5.25"): text everywhere but
    // JSON, where it is a number.
    bool decimal = false;
    static Cell ofDecimal(QByteArrayView digits) {
        Cell cell{Kind::Text, 0, digits, {}};
        cell.decimal = true;
        return cell;
    }
};

// Writes the rows of one report as they come.
class RowWriter {
public:
    // sheet names the spreadsheet's sheet; the text formats have none.
    RowWriter(Format format, Output& output, std::vector<Column> columns,
              const QString& sheet = QStringLiteral("Report"));
    ~RowWriter();

    // CSV text a spreadsheet would run as a formula is written with a leading apostrophe, as
    // spreadsheets mark text, unless the report is for programs that want every value exactly as
    // stored.
    void setRaw(bool raw) { raw_ = raw; }

    bool header();
    // False, and end() fails saying so, for a row whose width is not the columns'.
    bool row(std::span<const Cell> cells);
    bool row(std::initializer_list<Cell> cells) {
        return row(std::span(cells.begin(), cells.size()));
    }
    // A closing line for people; the machine formats leave it out.
    bool note(const QString& text);
    // Ends the rows: a spreadsheet is completed and handed to the output (what it says of
    // itself, such as a sheet continued in another, goes to standard error). A failure here is
    // the spreadsheet's own; the output's failures are reported by Output::finish().
    [[nodiscard]] Status end();

private:
    void appendTableCell(const Cell& cell, const Column& column);
    void appendCsvCell(const Cell& cell);
    void appendJsonCell(const Cell& cell);

    bool xlsxHeader();
    bool xlsxRow(std::span<const Cell> cells);
    Status xlsxEnd();

    Format format_;
    Output& output_;
    std::vector<Column> columns_;
    std::string line_; // the row being written: appended to a character at a time

    // The spreadsheet is written to a file of its own first (libxlsxwriter writes files only),
    // then copied into the output.
    QString sheet_;
    std::unique_ptr<QTemporaryFile> xlsxFile_;
    std::unique_ptr<files::XlsxWorkbook> workbook_;
    std::vector<files::XlsxCell> xlsxCells_;
    QByteArray startText_;
    Status xlsxFailure_;
    Status widthFailure_;
    bool raw_ = false;
};

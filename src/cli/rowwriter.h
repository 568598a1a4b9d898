#pragma once

#include "output.h"

#include <QByteArrayView>

#include <initializer_list>
#include <vector>

// How a report is written: aligned columns for people, RFC 4180 CSV or one JSON object a line
// for scripts and spreadsheets.
enum class Format { Table, Csv, JsonLines };

// One column of a report: its key (the CSV header and the JSON name), its title and width in the
// table, and whether the table aligns it to the right.
struct Column {
    const char* key;
    const char* title;
    int width;
    bool right = false;
};

// One value of a row: nothing (a database NULL: an empty CSV field, null in JSON), a whole
// number, or UTF-8 text.
struct Cell {
    enum class Kind { Null, Number, Text };
    Kind kind = Kind::Null;
    qint64 number = 0;
    QByteArrayView text;

    static Cell null() { return {}; }
    static Cell of(qint64 value) { return {Kind::Number, value, {}}; }
    static Cell of(QByteArrayView value) {
        return value.isNull() ? Cell{} : Cell{Kind::Text, 0, value};
    }
};

// Writes the rows of one report as they come.
class RowWriter {
public:
    RowWriter(Format format, Output& output, std::vector<Column> columns);

    // CSV text a spreadsheet would run as a formula is written with a leading apostrophe, as
    // spreadsheets mark text, unless the report is for programs that want every value exactly as
    // stored.
    void setRaw(bool raw) { raw_ = raw; }

    bool header();
    bool row(std::initializer_list<Cell> cells);
    // A closing line for people; the machine formats leave it out.
    bool note(const QString& text);

private:
    void appendTableCell(const Cell& cell, const Column& column);
    void appendCsvCell(const Cell& cell);
    void appendJsonCell(const Cell& cell);

    Format format_;
    Output& output_;
    std::vector<Column> columns_;
    QByteArray line_;
    bool raw_ = false;
};

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
    // A number with a fraction, already written with its decimals ("5.25"): text everywhere but
    // JSON, where it is a number.
    bool decimal = false;
    static Cell ofDecimal(QByteArrayView digits) { return {Kind::Text, 0, digits, true}; }
};

// Writes the rows of one report as they come.
class RowWriter {
public:
    RowWriter(Format format, Output& output, std::vector<Column> columns);

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
};

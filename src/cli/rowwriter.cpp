#include "rowwriter.h"

#include "textforms.h"

#include <cstdio>

namespace {

template <typename Text> void appendNumber(Text& out, qint64 value) {
    char digits[24];
    int n = 0;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        out += '-';
    while (n > 0)
        out += digits[--n];
}

bool isContinuationByte(char c) {
    return (uchar(c) & 0xC0) == 0x80;
}

// Text for a terminal: control characters and the marks that reverse the direction of text
// are shown as escapes, so that a number can neither move the cursor nor read backwards.
void appendVisible(QByteArray& out, QByteArrayView text, int& shownWidth) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar c = uchar(text[i]);
        const bool directionMark = c == 0xE2 && i + 2 < text.size() &&
                                   ((uchar(text[i + 1]) == 0x80 && uchar(text[i + 2]) >= 0xAA &&
                                     uchar(text[i + 2]) <= 0xAE) ||
                                    (uchar(text[i + 1]) == 0x81 && uchar(text[i + 2]) >= 0xA6 &&
                                     uchar(text[i + 2]) <= 0xA9));
        if (c < 0x20 || c == 0x7F || directionMark) {
            char escaped[12];
            const unsigned codePoint = directionMark ? ((c & 0x0Fu) << 12) |
                                                           ((uchar(text[i + 1]) & 0x3Fu) << 6) |
                                                           (uchar(text[i + 2]) & 0x3Fu)
                                                     : c;
            const int n = std::snprintf(escaped, sizeof escaped,
                                        directionMark ? "\\u%04X" : "\\x%02X", codePoint);
            out.append(escaped, n);
            shownWidth += n;
            if (directionMark)
                i += 2;
            continue;
        }
        out.append(char(c));
        if (!isContinuationByte(char(c)))
            ++shownWidth;
    }
}

} // namespace

RowWriter::RowWriter(Format format, Output& output, std::vector<Column> columns,
                     const QString& sheet)
    : format_(format), output_(output), columns_(std::move(columns)), sheet_(sheet) {}

RowWriter::~RowWriter() = default;

Status RowWriter::end() {
    if (!widthFailure_.ok())
        return widthFailure_;
    return format_ == Format::Xlsx ? xlsxEnd() : Status();
}

bool RowWriter::header() {
    line_.clear();
    switch (format_) {
    case Format::Table:
        for (size_t i = 0; i < columns_.size(); ++i) {
            const QByteArray title(columns_[i].title);
            appendTableCell(Cell::of(QByteArrayView(title)), columns_[i]);
        }
        break;
    case Format::Csv:
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i > 0)
                line_ += ',';
            line_ += columns_[i].key;
        }
        line_ += "\r\n";
        return output_.write(QByteArrayView(line_.data(), qsizetype(line_.size()))).ok();
    case Format::JsonLines:
        return true;
    case Format::Xlsx:
        return xlsxHeader();
    }
    while (line_.ends_with(' '))
        line_.pop_back();
    line_ += '\n';
    return output_.write(QByteArrayView(line_.data(), qsizetype(line_.size()))).ok();
}

bool RowWriter::row(std::span<const Cell> cells) {
    // A row of another width would shift its values under the wrong titles, or read past them.
    if (cells.size() != columns_.size()) {
        if (widthFailure_.ok())
            widthFailure_ = Status::failure(
                QStringLiteral(
                    "a row of %1 values was given for %2 columns; the report stops there")
                    .arg(cells.size())
                    .arg(columns_.size()));
        return false;
    }
    if (format_ == Format::Xlsx)
        return xlsxRow(cells);
    line_.clear();
    size_t i = 0;
    for (const Cell& typed : cells) {
        const Cell cell = typed.plain();
        const Column& column = columns_[i];
        switch (format_) {
        case Format::Table:
            appendTableCell(cell, column);
            break;
        case Format::Csv:
            if (i > 0)
                line_ += ',';
            appendCsvCell(cell);
            break;
        case Format::Xlsx:
            break;
        case Format::JsonLines:
            line_ += i == 0 ? "{\"" : ",\"";
            line_ += column.key;
            line_ += "\":";
            appendJsonCell(cell);
            break;
        }
        ++i;
    }
    switch (format_) {
    case Format::Table:
        while (line_.ends_with(' '))
            line_.pop_back();
        line_ += '\n';
        break;
    case Format::Csv:
        line_ += "\r\n";
        break;
    case Format::JsonLines:
        line_ += "}\n";
        break;
    case Format::Xlsx:
        break;
    }
    return output_.write(QByteArrayView(line_.data(), qsizetype(line_.size()))).ok();
}

bool RowWriter::note(const QString& text) {
    return format_ != Format::Table || output_.write(text + u'\n').ok();
}

void RowWriter::appendTableCell(const Cell& cell, const Column& column) {
    QByteArray text;
    int width = 0;
    if (cell.kind == Cell::Kind::Number) {
        appendNumber(text, cell.number);
        width = int(text.size());
    } else if (cell.kind == Cell::Kind::Text) {
        appendVisible(text, cell.text, width);
    }
    const QByteArray padding(qMax(0, column.width - width), ' ');
    if (column.right)
        line_.append(padding.constData(), size_t(padding.size()))
            .append(text.constData(), size_t(text.size()));
    else
        line_.append(text.constData(), size_t(text.size()))
            .append(padding.constData(), size_t(padding.size()));
    line_ += "  ";
}

void RowWriter::appendCsvCell(const Cell& cell) {
    if (cell.kind == Cell::Kind::Null)
        return;
    if (cell.kind == Cell::Kind::Number) {
        appendNumber(line_, cell.number);
        return;
    }
    const bool formula = !raw_ && TextForms::RunsAsFormula(cell.text);
    // An empty text is written "" so that it reads back apart from a NULL.
    bool quote = cell.text.isEmpty();
    for (const char c : cell.text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        if (formula)
            line_ += '\'';
        line_.append(cell.text.data(), size_t(cell.text.size()));
        return;
    }
    line_ += '"';
    if (formula)
        line_ += '\'';
    for (const char c : cell.text) {
        if (c == '"')
            line_ += '"';
        line_ += c;
    }
    line_ += '"';
}

void RowWriter::appendJsonCell(const Cell& cell) {
    switch (cell.kind) {
    case Cell::Kind::Null:
        line_ += "null";
        return;
    case Cell::Kind::Number:
        appendNumber(line_, cell.number);
        return;
    case Cell::Kind::Text:
    case Cell::Kind::StartTime:
    case Cell::Kind::Duration:
        if (cell.decimal) {
            line_.append(cell.text.data(), size_t(cell.text.size()));
            return;
        }
        break;
    }
    line_ += '"';
    // The characters that need no escape go in as runs: nearly every value is all of them.
    const char* run = cell.text.data();
    const char* const end = run + cell.text.size();
    for (const char* at = run; at < end; ++at) {
        const char c = *at;
        if (uchar(c) >= 0x20 && c != '"' && c != '\\')
            continue;
        line_.append(run, size_t(at - run));
        run = at + 1;
        switch (c) {
        case '"':
            line_ += "\\\"";
            break;
        case '\\':
            line_ += "\\\\";
            break;
        case '\n':
            line_ += "\\n";
            break;
        case '\r':
            line_ += "\\r";
            break;
        case '\t':
            line_ += "\\t";
            break;
        default: {
            char escaped[8];
            line_.append(escaped, size_t(std::snprintf(escaped, sizeof escaped, "\\u%04X", c)));
        }
        }
    }
    line_.append(run, size_t(end - run));
    line_ += '"';
}

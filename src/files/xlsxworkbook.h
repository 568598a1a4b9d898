#pragma once

#include "result.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A spreadsheet file written row by row in libxlsxwriter's constant-memory mode, so that a
// million rows take no more memory than one. Text, phone numbers included, is always a string
// cell: a leading 0 or + stays, and a value that looks like a formula is never run. Start times
// are date-time cells in the locale's form and durations are [h]:mm:ss cells that sum.
namespace files {

struct XlsxColumn {
    QString title;
    int width = 10; // in characters: the typical value's width (rows are not seen in advance)
};

// One value: nothing (an empty cell), a whole number, text, a date and time, or a duration in
// seconds. A date or duration a spreadsheet cannot hold is written as its text instead.
struct XlsxCell {
    enum class Kind { Empty, Number, Text, DateTime, Duration };
    Kind kind = Kind::Empty;
    double number =
        0; // Number: the value; DateTime: the spreadsheet's day count; Duration: seconds
    QByteArrayView text; // Text, and the fallback of DateTime and Duration

    static XlsxCell empty() { return {}; }
    static XlsxCell of(qint64 value) { return {Kind::Number, double(value), {}}; }
    static XlsxCell of(QByteArrayView value) {
        return value.isNull() ? XlsxCell{} : XlsxCell{Kind::Text, 0, value};
    }
    static XlsxCell dateTime(int year, int month, int day, int hour, int minute, int second,
                             QByteArrayView fallback);
    static XlsxCell duration(std::optional<double> seconds, QByteArrayView fallback);
};

class XlsxWorkbook {
public:
    // The rows a sheet holds below its header.
    static constexpr int kSheetRows = 1048575;

    // dateTimeFormat is the Qt date-time format (QLocale's letters) that start times are shown in.
    static Result<std::unique_ptr<XlsxWorkbook>>
    Create(const QString& path, const QString& dateTimeFormat, int sheetRows = kSheetRows);
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // Starts a sheet with a frozen header row; later rows go to it. More rows than a sheet holds
    // go on in a sheet named "name (2)" with the same header, and so on.
    Status addSheet(const QString& name, std::vector<XlsxColumn> columns);
    Status row(const std::vector<XlsxCell>& cells);
    // Writes the file. Sheets continued because of their length, and values cut to the
    // 32,767 characters a cell holds, are named in notes().
    Status close();
    const QStringList& notes() const { return notes_; }

private:
    XlsxWorkbook() = default;
    Status startSheet(const QString& name);
    void endSheet();
    Status written(int error, const char* what);

    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* dateTime_ = nullptr;
    lxw_format* duration_ = nullptr;
    QString name_;
    std::vector<XlsxColumn> columns_;
    int sheetRows_ = kSheetRows;
    int rowInSheet_ = 0;
    int part_ = 1;
    qint64 cut_ = 0;
    QStringList notes_;
    QByteArray scratch_;
};

// A Qt date-time format (d, M, yy, h, H, m, s, AP, 'text') in a spreadsheet's number format
// letters: "M/d/yyyy h:mm:ss AP" becomes "m/d/yyyy h:mm:ss AM/PM".
QString SpreadsheetDateTimeFormat(const QString& qtFormat);

} // namespace files

#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

// Walks the rows of an executed ODBC statement and reads its columns straight from the driver.
// Qt SQL's own row reading builds a record and variants for every value and turns timestamps
// into local time (a time zone lookup per value); for a day's calls that costs more than the
// query itself.
//
// The first row is read value by value, which finds out whether the driver delivers UTF-16.
// After it the columns are bound and rows come in blocks, so the driver manager is entered once
// per block instead of once per value. A value too long for its bound buffer is read again
// whole, so nothing is cut short.
class OdbcRows {
public:
    explicit OdbcRows(void* statementHandle) : statement_(statementHandle) {}
    ~OdbcRows();
    OdbcRows(const OdbcRows&) = delete;
    OdbcRows& operator=(const OdbcRows&) = delete;

    // Moves to the next row; false after the last one or on a failure (see error()).
    bool fetch();
    // A column of the current row as text, or nullopt for NULL (or when it cannot be read).
    std::optional<QString> text(int column);
    QString error() const { return error_; }

    // Rows per block once the columns are bound.
    static constexpr int kBlockRows = 256;

private:
    struct BoundColumn {
        bool timestamp = false;       // bound as the driver's timestamp structure, not as text
        qsizetype unitsPerValue = 0;  // buffer width in characters, the terminator included
        std::vector<char> buffer;     // kBlockRows values side by side
        std::vector<long> indicators; // SQLLEN per row: byte length or SQL_NULL_DATA
    };

    QString diagnostics() const;
    template <typename Char> std::optional<QVariant> readText(int column, short cType);
    std::optional<QString> readUnbound(int column);
    bool bindColumns();
    void unbindColumns();
    bool fetchBlock();

    void* statement_;
    QString error_;
    bool wideText_ = true;
    bool textTypeKnown_ = false; // a value was read, so wideText_ is what the driver delivers
    bool rowRead_ = false;       // fetch() has been called once
    bool bound_ = false;
    std::vector<BoundColumn> columns_;
    std::vector<unsigned short> rowStatus_;
    unsigned long rowsInBlock_ = 0;
    unsigned long rowInBlock_ = 0;
};

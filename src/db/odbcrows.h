#pragma once

#include "dbvalue.h"
#include "result.h"

#include <QByteArray>
#include <QString>

#include <sql.h>

#include <optional>
#include <vector>

// Walks the rows of an executed ODBC statement and reads its columns straight from the driver.
// Qt SQL's own row reading builds a record and variants for every value and turns timestamps
// into local time (a time zone lookup per value); for a day's calls that costs more than the
// query itself.
//
// The columns are bound before the first row and rows come in blocks, so the driver manager is
// entered once per block instead of once per value. Values come as the driver's text, which both
// psqlODBC variants hand over as the server's UTF-8 bytes whatever the locale (measured), and
// plain timestamps as the driver's timestamp structure. A value too long for its bound buffer is
// read again whole, so nothing is cut short. Where a driver refuses the binding, values are read
// one by one.
class OdbcRows {
public:
    explicit OdbcRows(SQLHSTMT statementHandle) : statement_(statementHandle) {}
    ~OdbcRows();
    OdbcRows(const OdbcRows&) = delete;
    OdbcRows& operator=(const OdbcRows&) = delete;

    // Moves to the next row; false after the last one or on a failure (see status()). A value
    // that could not be read ends the walk there.
    bool fetch();
    // Kind::Failed when a value too long for its buffer could not be read again.
    DbValue value(int column);
    // A column of the current row read again as the driver's text, for a timestamp whose
    // fields do not tell the whole story; nullopt for NULL or a value that could not be read,
    // which ends the walk (see status()).
    std::optional<QByteArray> valueAsText(int column);
    // Why the walk over the rows stopped early; success while it goes on or after the last row.
    Status status() const { return status_; }

    // Rows per block once the columns are bound.
    static constexpr int kBlockRows = 256;

private:
    enum class Delivery { Text, Timestamp };
    struct Column {
        Delivery delivery = Delivery::Text;
        qsizetype width = 0;            // bytes per bound value
        std::vector<char> buffer;       // kBlockRows values side by side
        std::vector<SQLLEN> indicators; // per row: byte length or SQL_NULL_DATA
        QByteArray whole;               // a value read again or read unbound
    };

    static SQLSMALLINT cTypeFor(Delivery delivery);
    QString diagnostics() const;
    bool describeColumns();
    bool bindColumns();
    void unbindColumns();
    bool fetchBlock();
    Result<QByteArray> readWhole(int column);
    Status positionOnRow();

    SQLHSTMT statement_;
    Status status_;
    bool described_ = false;
    bool bound_ = false;
    std::vector<Column> columns_;
    std::vector<SQLUSMALLINT> rowStatus_;
    SQLULEN rowsInBlock_ = 0;
    SQLULEN rowInBlock_ = 0;
};

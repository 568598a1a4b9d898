#include "odbcrows.h"

#include "dblog.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstring>

static_assert(sizeof(long) == sizeof(SQLLEN) && sizeof(unsigned long) == sizeof(SQLULEN) &&
                  sizeof(unsigned short) == sizeof(SQLUSMALLINT),
              "the header's plain types must match the ODBC ones");

namespace {

SQLHSTMT handle(void* statement) {
    return static_cast<SQLHSTMT>(statement);
}
bool succeeded(SQLRETURN r) {
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

// Characters to bind for a column: room for the whole value when the driver states a short
// size (a UTF-16 unit pair per character), a modest width otherwise. Longer values are read
// again whole, so this only decides how often that happens.
qsizetype bindWidth(SQLSMALLINT sqlType, SQLULEN columnSize) {
    constexpr qsizetype kDefault = 64, kLargest = 256;
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        if (columnSize > 0 && qsizetype(columnSize) * 2 < kLargest)
            return qsizetype(columnSize) * 2 + 1;
        return kDefault + 1;
    default:
        // Numbers, dates, times, intervals and long text: their text forms are short.
        return kDefault + 1;
    }
}

// A timestamp without time zone comes faster as the driver's structure than as text, which the
// driver would first parse and then print again.
bool isPlainTimestamp(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT sqlType) {
    if (sqlType != SQL_TYPE_TIMESTAMP && sqlType != SQL_TIMESTAMP)
        return false;
    SQLCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!succeeded(SQLColAttribute(statement, column, SQL_DESC_TYPE_NAME, name, sizeof(name),
                                   &length, nullptr)))
        return false;
    const QByteArrayView typeName(reinterpret_cast<const char*>(name));
    return typeName == "timestamp" || typeName == "timestamp without time zone";
}

// The text the driver gives for a timestamp: yyyy-MM-dd hh:mm:ss, then any fraction.
QString timestampText(const SQL_TIMESTAMP_STRUCT& at) {
    char text[32];
    char* out = text;
    const auto put = [&out](unsigned value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            out[i] = char('0' + value % 10);
            value /= 10;
        }
        out += width;
    };
    put(unsigned(at.year), 4);
    *out++ = '-';
    put(at.month, 2);
    *out++ = '-';
    put(at.day, 2);
    *out++ = ' ';
    put(at.hour, 2);
    *out++ = ':';
    put(at.minute, 2);
    *out++ = ':';
    put(at.second, 2);
    if (at.fraction > 0) {
        *out++ = '.';
        put(at.fraction % 1000000000u, 9);
        while (out[-1] == '0')
            --out;
    }
    return QString::fromLatin1(text, out - text);
}

} // namespace

OdbcRows::~OdbcRows() {
    unbindColumns();
}

// Reads one column in pieces of the given character type. Gives nullopt when the driver
// refuses that type, a null variant for SQL NULL, and the text otherwise.
template <typename Char> std::optional<QVariant> OdbcRows::readText(int column, short cType) {
    std::array<Char, 512> buffer;
    const qsizetype capacity = qsizetype(buffer.size()) - 1; // each piece ends with a terminator
    QByteArray bytes;
    QString wide;
    bool first = true;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN r = SQLGetData(handle(statement_), SQLUSMALLINT(column + 1), cType,
                                       buffer.data(), SQLLEN(sizeof(buffer)), &indicator);
        if (r == SQL_NO_DATA)
            break;
        if (!succeeded(r))
            return first ? std::nullopt : std::optional<QVariant>(QVariant());
        first = false;
        if (indicator == SQL_NULL_DATA)
            return QVariant();
        const qsizetype available =
            indicator == SQL_NO_TOTAL ? capacity : indicator / SQLLEN(sizeof(Char));
        const qsizetype units = qMin(available, capacity);
        if constexpr (sizeof(Char) == 1)
            bytes.append(reinterpret_cast<const char*>(buffer.data()), units);
        else
            wide.append(reinterpret_cast<const QChar*>(buffer.data()), units);
        if (r == SQL_SUCCESS)
            break;
    }
    if constexpr (sizeof(Char) == 1)
        return QVariant(QString::fromUtf8(bytes));
    else
        return QVariant(wide);
}

QString OdbcRows::diagnostics() const {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    QString text;
    for (SQLSMALLINT record = 1;
         succeeded(SQLGetDiagRecW(SQL_HANDLE_STMT, handle(statement_), record, state, &nativeError,
                                  message, SQLSMALLINT(std::size(message)), &length));
         ++record) {
        if (!text.isEmpty())
            text += u'\n';
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(message),
                                   qMin<qsizetype>(length, std::size(message) - 1));
    }
    return text.isEmpty() ? QStringLiteral("the driver reported a failure") : text;
}

bool OdbcRows::bindColumns() {
    SQLSMALLINT count = 0;
    if (!succeeded(SQLNumResultCols(handle(statement_), &count)) || count <= 0)
        return false;
    const SQLSMALLINT cType = wideText_ ? SQL_C_WCHAR : SQL_C_CHAR;
    const qsizetype unitSize = wideText_ ? qsizetype(sizeof(SQLWCHAR)) : 1;
    columns_.resize(size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLSMALLINT sqlType = 0, digits = 0, nullable = 0, nameLength = 0;
        SQLULEN size = 0;
        SQLCHAR name[1];
        if (!succeeded(SQLDescribeCol(handle(statement_), SQLUSMALLINT(i + 1), name, 1, &nameLength,
                                      &sqlType, &size, &digits, &nullable)))
            sqlType = SQL_UNKNOWN_TYPE;
        BoundColumn& column = columns_[size_t(i)];
        if (isPlainTimestamp(handle(statement_), SQLUSMALLINT(i + 1), sqlType)) {
            column.timestamp = true;
            column.buffer.assign(sizeof(SQL_TIMESTAMP_STRUCT) * kBlockRows, '\0');
            column.indicators.assign(kBlockRows, 0);
            continue;
        }
        // The ANSI driver writes UTF-8: up to four bytes a character.
        column.unitsPerValue = bindWidth(sqlType, size) * (wideText_ ? 1 : 2);
        column.buffer.assign(size_t(column.unitsPerValue * unitSize * kBlockRows), '\0');
        column.indicators.assign(kBlockRows, 0);
    }
    rowStatus_.assign(kBlockRows, 0);
    const auto attribute = [this](SQLINTEGER name, SQLPOINTER value) {
        return succeeded(SQLSetStmtAttr(handle(statement_), name, value, 0));
    };
    bool ok = attribute(SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN)) &&
              attribute(SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data()) &&
              attribute(SQL_ATTR_ROWS_FETCHED_PTR, &rowsInBlock_);
    for (SQLSMALLINT i = 0; ok && i < count; ++i) {
        BoundColumn& column = columns_[size_t(i)];
        const SQLLEN width = column.timestamp ? SQLLEN(sizeof(SQL_TIMESTAMP_STRUCT))
                                              : SQLLEN(column.unitsPerValue * unitSize);
        ok = succeeded(SQLBindCol(handle(statement_), SQLUSMALLINT(i + 1),
                                  column.timestamp ? SQL_C_TYPE_TIMESTAMP : cType,
                                  column.buffer.data(), width,
                                  reinterpret_cast<SQLLEN*>(column.indicators.data())));
    }
    // The block size goes last: if anything before failed, fetching stays one row at a time.
    ok = ok && attribute(SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(SQLULEN(kBlockRows)));
    if (!ok) {
        qCDebug(lcDb) << "block fetch unavailable:" << diagnostics();
        unbindColumns();
        return false;
    }
    bound_ = true;
    return true;
}

void OdbcRows::unbindColumns() {
    if (!bound_ && columns_.empty())
        return;
    // The statement outlives this object inside Qt SQL: leave it as it was found.
    SQLSetStmtAttr(handle(statement_), SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(SQLULEN(1)), 0);
    SQLFreeStmt(handle(statement_), SQL_UNBIND);
    SQLSetStmtAttr(handle(statement_), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttr(handle(statement_), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    bound_ = false;
    columns_.clear();
}

bool OdbcRows::fetchBlock() {
    rowsInBlock_ = 0;
    rowInBlock_ = 0;
    const SQLRETURN r = SQLFetch(handle(statement_));
    if (r == SQL_NO_DATA)
        return false;
    if (!succeeded(r)) {
        error_ = diagnostics();
        return false;
    }
    return rowsInBlock_ > 0;
}

bool OdbcRows::fetch() {
    error_.clear();
    // Blocks start after the first row, once it has shown how the driver writes text.
    if (!bound_ && rowRead_ && textTypeKnown_ && bindColumns())
        rowsInBlock_ = rowInBlock_ = 0;
    if (bound_) {
        // Skip rows the driver could not deliver; stop at the end of the result.
        for (;;) {
            if (++rowInBlock_ >= rowsInBlock_ && !fetchBlock())
                return false;
            const SQLUSMALLINT status = rowStatus_[rowInBlock_];
            if (status == SQL_ROW_SUCCESS || status == SQL_ROW_SUCCESS_WITH_INFO)
                return true;
            if (status == SQL_ROW_ERROR) {
                error_ = diagnostics();
                return false;
            }
        }
    }
    rowRead_ = true;
    const SQLRETURN r = SQLFetch(handle(statement_));
    if (succeeded(r))
        return true;
    if (r != SQL_NO_DATA)
        error_ = diagnostics();
    return false;
}

std::optional<QString> OdbcRows::readUnbound(int column) {
    if (wideText_) {
        if (const auto value = readText<SQLWCHAR>(column, SQL_C_WCHAR)) {
            if (value->isNull())
                return std::nullopt; // a NULL does not show whether the driver writes UTF-16
            textTypeKnown_ = true;
            return value->toString();
        }
        // The ANSI variant of the driver cannot deliver UTF-16: read its bytes from here on.
        wideText_ = false;
    }
    const auto value = readText<SQLCHAR>(column, SQL_C_CHAR);
    if (!value || value->isNull())
        return std::nullopt;
    textTypeKnown_ = true;
    return value->toString();
}

std::optional<QString> OdbcRows::text(int column) {
    if (!bound_)
        return readUnbound(column);
    if (column < 0 || size_t(column) >= columns_.size())
        return std::nullopt;
    const BoundColumn& bound = columns_[size_t(column)];
    const SQLLEN indicator = bound.indicators[rowInBlock_];
    if (indicator == SQL_NULL_DATA)
        return std::nullopt;
    if (bound.timestamp) {
        SQL_TIMESTAMP_STRUCT at;
        memcpy(&at, bound.buffer.data() + rowInBlock_ * sizeof(at), sizeof(at));
        return timestampText(at);
    }
    const qsizetype unitSize = wideText_ ? qsizetype(sizeof(SQLWCHAR)) : 1;
    const qsizetype room = bound.unitsPerValue - 1;
    if (indicator == SQL_NO_TOTAL || indicator / unitSize > room) {
        // Cut short by the buffer: position on the row and read the value whole.
        if (!succeeded(SQLSetPos(handle(statement_), SQLSETPOSIROW(rowInBlock_ + 1), SQL_POSITION,
                                 SQL_LOCK_NO_CHANGE))) {
            error_ = diagnostics();
            return std::nullopt;
        }
        const auto value = wideText_ ? readText<SQLWCHAR>(column, SQL_C_WCHAR)
                                     : readText<SQLCHAR>(column, SQL_C_CHAR);
        if (!value || value->isNull())
            return std::nullopt;
        return value->toString();
    }
    const char* start = bound.buffer.data() + rowInBlock_ * size_t(bound.unitsPerValue * unitSize);
    if (wideText_)
        return QString(reinterpret_cast<const QChar*>(start), qsizetype(indicator) / unitSize);
    return QString::fromUtf8(start, qsizetype(indicator));
}

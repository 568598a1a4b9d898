#include "odbcrows.h"

#include "dblog.h"

#include <sql.h>
#include <sqlext.h>

#include <array>
#include <cstring>

namespace {

bool isCharacterType(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return true;
    default:
        return false;
    }
}

// A timestamp without time zone comes faster as the driver's structure than as text, which the
// driver would first parse and then print again.
bool isPlainTimestamp(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT sqlType) {
    if (sqlType != SQL_TYPE_TIMESTAMP && sqlType != SQL_TIMESTAMP)
        return false;
    SQLCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLColAttribute(statement, column, SQL_DESC_TYPE_NAME, name, sizeof(name),
                                       &length, nullptr)))
        return false;
    const QByteArrayView typeName(reinterpret_cast<const char*>(name));
    return typeName == "timestamp" || typeName == "timestamp without time zone";
}

// Bytes to bind for a value, its terminator included: room for the whole of a short character
// column (four bytes a character), a modest width otherwise. Longer values are read again whole,
// so this only decides how often that happens.
qsizetype bindWidth(SQLSMALLINT sqlType, SQLULEN columnSize) {
    constexpr qsizetype kDefault = 64;
    if (isCharacterType(sqlType) && columnSize > 0 && columnSize <= 64)
        return qsizetype(columnSize) * 4 + 1;
    return kDefault + 1;
}

DbValue timestampValue(const SQL_TIMESTAMP_STRUCT& at) {
    DbValue value;
    value.kind = DbValue::Kind::Timestamp;
    value.year = at.year;
    value.month = at.month;
    value.day = at.day;
    value.hour = at.hour;
    value.minute = at.minute;
    value.second = at.second;
    value.fraction = at.fraction;
    return value;
}

} // namespace

OdbcRows::~OdbcRows() {
    unbindColumns();
}

SQLSMALLINT OdbcRows::cTypeFor(Delivery delivery) {
    return delivery == Delivery::Timestamp ? SQL_C_TYPE_TIMESTAMP : SQL_C_CHAR;
}

QString OdbcRows::diagnostics() const {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    QString text;
    for (SQLSMALLINT record = 1;
         SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, statement_, record, state, &nativeError,
                                      message, SQLSMALLINT(std::size(message)), &length));
         ++record) {
        if (!text.isEmpty())
            text += u'\n';
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(message),
                                   qMin<qsizetype>(length, std::size(message) - 1));
    }
    return text.isEmpty() ? QStringLiteral("the driver reported a failure") : text;
}

bool OdbcRows::describeColumns() {
    described_ = true;
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(statement_, &count)) || count <= 0)
        return false;
    columns_.resize(size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLSMALLINT sqlType = 0, digits = 0, nullable = 0, nameLength = 0;
        SQLULEN size = 0;
        // Room for the whole name: the driver manager converts it into this buffer and does not
        // keep to a short one (seen under AddressSanitizer).
        SQLCHAR name[256];
        if (!SQL_SUCCEEDED(SQLDescribeCol(statement_, SQLUSMALLINT(i + 1), name, sizeof name,
                                          &nameLength, &sqlType, &size, &digits, &nullable)))
            sqlType = SQL_UNKNOWN_TYPE;
        Column& column = columns_[size_t(i)];
        if (isPlainTimestamp(statement_, SQLUSMALLINT(i + 1), sqlType)) {
            column.delivery = Delivery::Timestamp;
            column.width = qsizetype(sizeof(SQL_TIMESTAMP_STRUCT));
        } else {
            column.delivery = Delivery::Text;
            column.width = bindWidth(sqlType, size);
        }
    }
    return true;
}

bool OdbcRows::bindColumns() {
    for (Column& column : columns_) {
        column.buffer.assign(size_t(column.width * kBlockRows), '\0');
        column.indicators.assign(kBlockRows, 0);
    }
    rowStatus_.assign(kBlockRows, 0);
    const auto attribute = [this](SQLINTEGER name, SQLPOINTER value) {
        return SQL_SUCCEEDED(SQLSetStmtAttr(statement_, name, value, 0));
    };
    bool ok = attribute(SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN)) &&
              attribute(SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data()) &&
              attribute(SQL_ATTR_ROWS_FETCHED_PTR, &rowsInBlock_);
    for (size_t i = 0; ok && i < columns_.size(); ++i) {
        Column& column = columns_[i];
        ok = SQL_SUCCEEDED(SQLBindCol(statement_, SQLUSMALLINT(i + 1), cTypeFor(column.delivery),
                                      column.buffer.data(), SQLLEN(column.width),
                                      column.indicators.data()));
    }
    // The block size goes last: if anything before failed, fetching stays one row at a time.
    ok = ok && attribute(SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(SQLULEN(kBlockRows)));
    if (!ok) {
        qCDebug(lcDb) << "block fetch unavailable:" << diagnostics();
        unbindColumns();
        for (Column& column : columns_) {
            column.buffer = {};
            column.indicators = {};
            // Read one by one, a timestamp comes as the driver's text.
            if (column.delivery == Delivery::Timestamp)
                column.delivery = Delivery::Text;
        }
        return false;
    }
    bound_ = true;
    return true;
}

void OdbcRows::unbindColumns() {
    if (!bound_)
        return;
    // The statement outlives this object inside Qt SQL: leave it as it was found.
    SQLSetStmtAttr(statement_, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(SQLULEN(1)), 0);
    SQLFreeStmt(statement_, SQL_UNBIND);
    SQLSetStmtAttr(statement_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttr(statement_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    bound_ = false;
}

bool OdbcRows::fetchBlock() {
    rowsInBlock_ = 0;
    rowInBlock_ = 0;
    const SQLRETURN r = SQLFetch(statement_);
    if (r == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(r)) {
        status_ = Status::failure(diagnostics());
        return false;
    }
    return rowsInBlock_ > 0;
}

bool OdbcRows::fetch() {
    // A value that could not be read ends the walk, with its reason kept.
    if (!status_)
        return false;
    if (!described_) {
        if (describeColumns() && bindColumns())
            rowsInBlock_ = rowInBlock_ = 0;
    }
    if (bound_) {
        // Skip rows the driver could not deliver; stop at the end of the result.
        for (;;) {
            if (++rowInBlock_ >= rowsInBlock_ && !fetchBlock())
                return false;
            const SQLUSMALLINT status = rowStatus_[rowInBlock_];
            if (status == SQL_ROW_SUCCESS || status == SQL_ROW_SUCCESS_WITH_INFO)
                return true;
            if (status == SQL_ROW_ERROR) {
                status_ = Status::failure(diagnostics());
                return false;
            }
        }
    }
    const SQLRETURN r = SQLFetch(statement_);
    if (SQL_SUCCEEDED(r))
        return true;
    if (r != SQL_NO_DATA)
        status_ = Status::failure(diagnostics());
    return false;
}

// Reads one column in pieces as the driver's text; a null array for SQL NULL. A failure also
// ends the walk over the rows.
Result<QByteArray> OdbcRows::readWhole(int column) {
    std::array<char, 512> buffer;
    const qsizetype capacity = qsizetype(buffer.size()) - 1; // each piece ends with a terminator
    QByteArray bytes;
    for (bool first = true;; first = false) {
        SQLLEN indicator = 0;
        const SQLRETURN r = SQLGetData(statement_, SQLUSMALLINT(column + 1), SQL_C_CHAR,
                                       buffer.data(), SQLLEN(buffer.size()), &indicator);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r)) {
            status_ = Status::failure(diagnostics());
            return {QByteArray(), status_};
        }
        if (indicator == SQL_NULL_DATA)
            return Succeeded(first ? QByteArray() : bytes);
        const qsizetype available = indicator == SQL_NO_TOTAL ? capacity : qsizetype(indicator);
        bytes.append(buffer.data(), qMin(available, capacity));
        if (r == SQL_SUCCESS)
            break;
    }
    if (bytes.isNull())
        bytes = QByteArray(""); // empty, not NULL
    return Succeeded(bytes);
}

Status OdbcRows::positionOnRow() {
    if (!bound_)
        return {};
    if (SQL_SUCCEEDED(SQLSetPos(statement_, SQLSETPOSIROW(rowInBlock_ + 1), SQL_POSITION,
                                SQL_LOCK_NO_CHANGE)))
        return {};
    status_ = Status::failure(diagnostics());
    return status_;
}

DbValue OdbcRows::value(int column) {
    if (column < 0 || size_t(column) >= columns_.size())
        return {};
    Column& held = columns_[size_t(column)];
    DbValue value;
    if (!bound_) {
        const Result<QByteArray> bytes = readWhole(column);
        if (!bytes)
            value.kind = DbValue::Kind::Failed;
        if (!bytes || bytes.value.isNull())
            return value;
        held.whole = bytes.value;
        value.kind = DbValue::Kind::Bytes;
        value.bytes = held.whole;
        return value;
    }
    const SQLLEN indicator = held.indicators[rowInBlock_];
    if (indicator == SQL_NULL_DATA)
        return value;
    const char* start = held.buffer.data() + rowInBlock_ * size_t(held.width);
    if (held.delivery == Delivery::Timestamp) {
        SQL_TIMESTAMP_STRUCT at;
        memcpy(&at, start, sizeof(at));
        return timestampValue(at);
    }
    const qsizetype room = held.width - 1;
    value.kind = DbValue::Kind::Bytes;
    if (indicator != SQL_NO_TOTAL && indicator <= room) {
        value.bytes = QByteArrayView(start, qsizetype(indicator));
        return value;
    }
    // Cut short by the buffer: position on the row and read the value whole.
    const Result<QByteArray> bytes =
        positionOnRow() ? readWhole(column) : Failed<QByteArray>(status_.reason());
    if (!bytes) {
        value.kind = DbValue::Kind::Failed;
        return value;
    }
    held.whole = bytes.value;
    value.bytes = held.whole;
    return value;
}

std::optional<QByteArray> OdbcRows::valueAsText(int column) {
    if (column < 0 || size_t(column) >= columns_.size() || !positionOnRow())
        return std::nullopt;
    const Result<QByteArray> text = readWhole(column);
    if (!text || text.value.isNull())
        return std::nullopt;
    return text.value;
}

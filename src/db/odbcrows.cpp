#include "odbcrows.h"

#include <sql.h>
#include <sqlext.h>

#include <array>

namespace {
SQLHSTMT handle(void* statement) {
    return static_cast<SQLHSTMT>(statement);
}
bool succeeded(SQLRETURN r) {
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}
} // namespace

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

bool OdbcRows::fetch() {
    error_.clear();
    const SQLRETURN r = SQLFetch(handle(statement_));
    if (succeeded(r))
        return true;
    if (r != SQL_NO_DATA)
        error_ = diagnostics();
    return false;
}

std::optional<QString> OdbcRows::text(int column) {
    if (wideText_) {
        if (const auto value = readText<SQLWCHAR>(column, SQL_C_WCHAR))
            return value->isNull() ? std::nullopt : std::optional<QString>(value->toString());
        // The ANSI variant of the driver cannot deliver UTF-16: read its bytes from here on.
        wideText_ = false;
    }
    const auto value = readText<SQLCHAR>(column, SQL_C_CHAR);
    if (!value || value->isNull())
        return std::nullopt;
    return value->toString();
}

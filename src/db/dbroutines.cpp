#include "dbroutines.h"

#include "calllistmodel.h"
#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "searchquery.h"
#include "textforms.h"

#include <malloc.h>

namespace dbRoutines {

QString DbDriver;

namespace {

const QString kServerHost = QStringLiteral("localhost");
const QString kProbeOptions = QStringLiteral(";A7=50;A8=8192;USEDECLAREFETCH =1");

QString lastProbeFailure;
bool lastProbeTimedOut = false;
bool lastProbeFoundNoDriver = false;

} // namespace

QString WorkingConnectionString(const QString& driverClause) {
    return driverClause + QStringLiteral(" Server=") + kServerHost +
           QStringLiteral("; PORT=5480; Database=phonesystem; UID=") +
           QuoteConnectionValue(config::GetConfig(QStringLiteral("dbuser"))) +
           QStringLiteral("; PWD=") +
           QuoteConnectionValue(config::GetConfig(QStringLiteral("dbpass")));
}

QString ProbeConnectionString(const QString& driverClause) {
    return WorkingConnectionString(driverClause) + kProbeOptions;
}

QString WithoutPassword(const QString& text) {
    const QString password = config::GetConfig(QStringLiteral("dbpass"));
    // Shorter passwords are letters that any message holds; the driver never repeats them.
    if (password.size() < 3)
        return text;
    return QString(text).replace(password, QStringLiteral("********"));
}

bool TestConnection(const QString& driverClause) {
    lastProbeTimedOut = lastProbeFoundNoDriver = false;
    DbConnection connection;
    const auto failed = [&connection] {
        lastProbeFailure = WithoutPassword(connection.lastError());
        return false;
    };
    if (!connection.open(ProbeConnectionString(driverClause))) {
        lastProbeTimedOut = connection.openFailure() == DbConnection::OpenFailure::TimedOut;
        lastProbeFoundNoDriver =
            connection.openFailure() == DbConnection::OpenFailure::DriverMissing;
        return failed();
    }
    if (!connection.execute(kTestQuery))
        return failed();
    while (connection.next()) {
    }
    if (!connection.lastError().isEmpty())
        return failed();
    connection.close();
    lastProbeFailure.clear();
    return true;
}

bool FindDriver() {
    QString reason;
    bool reasonIsMissingDriver = false;
    for (const QString& clause : {kUnicodeDriver, kPlainDriver, kAnsiDriver}) {
        if (TestConnection(clause)) {
            DbDriver = clause;
            return true;
        }
        // The first driver that is there says more about the server than a name that is not
        // registered.
        if (reason.isEmpty() || (reasonIsMissingDriver && !lastProbeFoundNoDriver)) {
            reason = lastProbeFailure;
            reasonIsMissingDriver = lastProbeFoundNoDriver;
        }
        if (lastProbeTimedOut)
            break;
    }
    lastProbeFailure = reason;
    return false;
}

QString LastConnectionFailure() {
    return lastProbeFailure;
}

QStringList FillExtensionList() {
    QStringList entries;
    DbConnection connection;
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return entries;
    if (!connection.execute(kExtensionQuery, {}, DbConnection::Rows::InBatches))
        return entries;
    while (connection.next() && entries.size() < kExtensionLimit) {
        // A NULL extension is passed over; the rest of the list still comes.
        if (const auto value = connection.text(0))
            entries << *value;
    }
    connection.close();
    return entries;
}

namespace {

constexpr int kTrimAfterRows = 10000;

// A start time as the list keeps it: a number for a real date and time, otherwise the driver's
// text. psqlODBC turns infinity into 9999-12-31 23:59:59 and -infinity into the year -9999 before
// the program sees them, and fills a timestamp it cannot read (the year 10000 and later) with
// today's date at midnight, so those fields are not taken at their word.
void listStart(DbConnection& connection, int column, CallRows& rows, qsizetype row) {
    const DbValue value = connection.value(column);
    switch (value.kind) {
    case DbValue::Kind::Null:
        rows.setStart(row, CallRows::kNoStart);
        return;
    case DbValue::Kind::Bytes:
        if (const auto seconds = TextForms::StartSecondsFromDriverText(value.bytes))
            rows.setStart(row, *seconds);
        else
            rows.setStart(row, CallRows::kStartIsText, QString::fromUtf8(value.bytes));
        return;
    case DbValue::Kind::Timestamp:
        break;
    }
    const bool midnight = value.hour == 0 && value.minute == 0 && value.second == 0;
    if (value.fraction == 0 && value.year == 9999 && value.month == 12 && value.day == 31 &&
        value.hour == 23 && value.minute == 59 && value.second == 59) {
        rows.setStart(row, CallRows::kStartIsText, QStringLiteral("infinity"));
        return;
    }
    if (value.year == -9999 && value.month == 1 && value.day == 1 && midnight) {
        rows.setStart(row, CallRows::kStartIsText, QStringLiteral("-infinity"));
        return;
    }
    const auto seconds = TextForms::StartSecondsOf(
        {value.year, value.month, value.day, value.hour, value.minute, value.second});
    if (seconds && !(midnight && value.fraction == 0)) {
        rows.setStart(row, *seconds);
        return;
    }
    // A midnight, a year before 1 or fields out of range: what does the driver write for it?
    const auto text = connection.valueAsText(column);
    const auto fromText = text ? TextForms::StartSecondsFromDriverText(*text) : std::nullopt;
    if (fromText)
        rows.setStart(row, *fromText);
    else
        rows.setStart(row, CallRows::kStartIsText, text ? QString::fromUtf8(*text) : QString());
}

void listDuration(DbConnection& connection, int column, CallRows& rows, qsizetype row) {
    const DbValue value = connection.value(column);
    if (value.kind == DbValue::Kind::Null)
        rows.setDuration(row, CallRows::kNoDuration);
    else if (value.kind != DbValue::Kind::Bytes)
        rows.setDuration(row, CallRows::kDurationIsText,
                         connection.text(column).value_or(QString()));
    else if (const auto seconds = TextForms::ExactDurationSeconds(value.bytes))
        rows.setDuration(row, *seconds);
    else
        rows.setDuration(row, CallRows::kDurationIsText, QString::fromUtf8(value.bytes));
}

} // namespace

bool RunSearchQuery(const SearchQuery& query, CallListModel& list, QString* failure) {
    list.clear();
    DbConnection connection;
    const auto failed = [&connection, failure](const QString& reason) {
        if (failure)
            *failure = WithoutPassword(reason);
        return false;
    };
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return failed(connection.lastError());
    // Read whole rather than through a cursor: on a phone system's table, which has no index on
    // the day, the server scans in parallel only for a statement read whole (measured: 127 ms
    // against 194 ms for 20,000 calls among 2,000,000).
    if (!connection.execute(query.statement, query.parameters, DbConnection::Rows::Many))
        return failed(connection.lastError());
    CallRows rows;
    // The driver holds the whole result and knows its size: the list takes its room at once
    // instead of growing, which would hold the largest columns twice while they move.
    if (const int expected = connection.recordCount(); expected > 0)
        rows.reserve(expected, 11);
    bool fits = true;
    while (connection.next()) {
        // Fields 0, 1, 3, 2 fill the four columns; a NULL shows as an empty cell.
        const qsizetype row = rows.size();
        const DbValue from = connection.value(0);
        const DbValue to = connection.value(1);
        fits = rows.append(from.bytes, to.bytes, CallRows::kNoStart, CallRows::kNoDuration);
        if (!fits)
            break;
        listStart(connection, 3, rows, row);
        listDuration(connection, 2, rows, row);
    }
    const QString error = connection.lastError();
    list.appendRows(std::move(rows));
    if (!fits)
        return failed(QStringLiteral("the result is too large to list"));
    if (!error.isEmpty())
        return failed(error);
    connection.close();
    // The driver has just freed its copy of a large result: give the memory back to the system
    // rather than keep it for a search that may never come.
    if (list.count() > kTrimAfterRows)
        malloc_trim(0);
    return true;
}

} // namespace dbRoutines

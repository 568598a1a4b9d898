#include "dbroutines.h"

#include "calllistmodel.h"
#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "searchquery.h"
#include "textforms.h"

namespace dbRoutines {

QString DbDriver;

namespace {

const QString kServerHost = QStringLiteral("localhost");
const QString kProbeOptions = QStringLiteral(";A7=50;A8=8192;USEDECLAREFETCH =1");

QString lastProbeFailure;
bool lastProbeTimedOut = false;
bool lastProbeFoundNoDriver = false;

QString cellText(const std::optional<QString>& value) {
    return value.value_or(QString());
}

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
    if (!connection.execute(kExtensionQuery))
        return entries;
    while (connection.next() && entries.size() < kExtensionLimit) {
        // A NULL extension is passed over; the rest of the list still comes.
        if (const auto value = connection.text(0))
            entries << *value;
    }
    connection.close();
    return entries;
}

bool RunSearchQuery(const SearchQuery& query, CallListModel& list, QString* failure) {
    list.clear();
    DbConnection connection;
    const auto failed = [&connection, failure] {
        if (failure)
            *failure = WithoutPassword(connection.lastError());
        return false;
    };
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return failed();
    if (!connection.execute(query.statement, query.parameters))
        return failed();
    std::vector<CallRow> rows;
    CallRow previous;
    // Texts equal to the previous row's share its storage: a day's rows repeat the searched
    // number, the date and many durations.
    const auto shared = [](QString text, const QString& before) {
        return text == before ? before : text;
    };
    while (connection.next()) {
        // Fields 0, 1, 3, 2 fill the four columns; a NULL shows as an empty cell.
        CallRow row;
        row.callFrom = shared(cellText(connection.text(0)), previous.callFrom);
        row.callTo = shared(cellText(connection.text(1)), previous.callTo);
        row.duration = shared(cellText(connection.text(2)), previous.duration);
        row.startTime = TextForms::StartTimeTextFromDriver(cellText(connection.text(3)));
        previous = row;
        rows.push_back(std::move(row));
    }
    const bool complete = connection.lastError().isEmpty();
    list.appendRows(std::move(rows));
    if (!complete)
        return failed();
    connection.close();
    return true;
}

} // namespace dbRoutines

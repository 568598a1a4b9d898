#include "dbroutines.h"

#include "calllistmodel.h"
#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "searchquery.h"

#include <QComboBox>
#include <QDateTime>
#include <QLocale>

namespace dbRoutines {

QString DbDriver;

namespace {

const QString kServerHost = QStringLiteral("localhost");
const QString kProbeOptions = QStringLiteral(";A7=50;A8=8192;USEDECLAREFETCH =1");

QString cellText(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
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

bool TestConnection(const QString& driverClause) {
    DbConnection connection;
    if (!connection.open(ProbeConnectionString(driverClause)))
        return false;
    if (!connection.execute(kTestQuery))
        return false;
    while (connection.next()) {
    }
    if (!connection.lastError().isEmpty())
        return false;
    connection.close();
    return true;
}

bool FindDriver() {
    for (const QString& clause : {kUnicodeDriver, kPlainDriver, kAnsiDriver}) {
        if (TestConnection(clause)) {
            DbDriver = clause;
            return true;
        }
    }
    return false;
}

void FillExtensionList(QComboBox* combo) {
    DbConnection connection;
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return;
    if (!connection.execute(kExtensionQuery))
        return;
    QStringList entries;
    while (connection.next() && entries.size() < kExtensionLimit) {
        const QVariant value = connection.value(0);
        // A NULL extension is passed over; the rest of the list still comes.
        if (!value.isNull())
            entries << value.toString();
    }
    combo->addItems(entries);
    connection.close();
}

QString StartTimeText(const QVariant& value) {
    if (value.isNull())
        return {};
    const QDateTime at = value.toDateTime();
    if (!at.isValid())
        return value.toString();
    const QLocale c = QLocale::c();
    if (at.time() == QTime(0, 0))
        return c.toString(at.date(), QStringLiteral("M/d/yyyy"));
    return c.toString(at, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

bool RunSearchQuery(const SearchQuery& query, CallListModel& list) {
    list.clear();
    DbConnection connection;
    if (!connection.open(WorkingConnectionString(DbDriver)))
        return false;
    if (!connection.execute(query.statement, query.parameters))
        return false;
    std::vector<CallRow> rows;
    while (connection.next()) {
        // Fields 0, 1, 3, 2 fill the four columns; a NULL shows as an empty cell.
        rows.push_back(CallRow{cellText(connection.value(0)), cellText(connection.value(1)),
                               StartTimeText(connection.value(3)), cellText(connection.value(2))});
    }
    const bool complete = connection.lastError().isEmpty();
    list.appendRows(std::move(rows));
    connection.close();
    return complete;
}

} // namespace dbRoutines

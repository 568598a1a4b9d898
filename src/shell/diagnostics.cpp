#include "diagnostics.h"

#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "dbroutines.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSelfTest, "linetally.selftest", QtWarningMsg)

namespace Diagnostics {

namespace {

// Walks the test query's rows; reads field 0 of each when asked to.
Status runTestQuery(DbConnection& connection, bool readFields) {
    if (Status executed = connection.execute(dbRoutines::kTestQuery); !executed)
        return executed;
    qCDebug(lcSelfTest) << "reading table...";
    const Status read = connection.forEachRow([&] {
        // Read only to exercise the driver; a value that cannot be read ends the walk.
        if (readFields)
            (void)connection.text(0);
        return true;
    });
    if (!read)
        return read;
    qCDebug(lcSelfTest) << "read completed";
    connection.close();
    qCDebug(lcSelfTest) << "closed";
    return {};
}

} // namespace

// The self-tests reach the same port as the searches.
QString OdbcSelfTestConnectionString() {
    return dbRoutines::kAnsiDriver + QStringLiteral(" Server=") + dbRoutines::kServerHost +
           QStringLiteral("; PORT=") + QString::number(dbRoutines::DatabasePort().value) +
           QStringLiteral("; Database=") + dbRoutines::kDatabaseName +
           QStringLiteral("; UID=admin; PWD=tovrim3");
}

QString OleDbSelfTestConnectionString() {
    return QStringLiteral("Provider=PostgreSQL OLE DB Provider; Data Source=") +
           dbRoutines::kServerHost + QStringLiteral("; PORT=") +
           QString::number(dbRoutines::DatabasePort().value) + QStringLiteral("; Location=") +
           dbRoutines::kDatabaseName + QStringLiteral("; User ID=admin; Password=tovrim3;");
}

Status RunOdbcSelfTest() {
    DbConnection connection;
    qCDebug(lcSelfTest) << "Trying to connect...";
    Status status = connection.open(OdbcSelfTestConnectionString(), config::DatabaseOwnerAccount());
    if (status) {
        qCDebug(lcSelfTest) << "connected";
        status = runTestQuery(connection, true);
    }
    if (!status)
        qCDebug(lcSelfTest).noquote() << "Connection failed with error:\r" + status.reason();
    return status;
}

Status RunOleDbSelfTest() {
    const auto pairs = ParseConnectionString(OleDbSelfTestConnectionString());
    if (!pairs)
        return Status::failure(QStringLiteral("the self-test's connection string is malformed: %1")
                                   .arg(pairs.reason()));
    bool portOk = false;
    const int port = ConnectionValue(pairs.value, QStringLiteral("PORT")).toInt(&portOk);
    if (!portOk)
        return Status::failure(QStringLiteral("the self-test's port is not a number"));
    DbConnection connection(QStringLiteral("QPSQL"));
    const Status opened = connection.openNative(
        ConnectionValue(pairs.value, QStringLiteral("Data Source")), port,
        ConnectionValue(pairs.value, QStringLiteral("Location")),
        ConnectionValue(pairs.value, QStringLiteral("User ID")),
        ConnectionValue(pairs.value, QStringLiteral("Password")), config::DatabaseOwnerAccount());
    return opened ? runTestQuery(connection, false) : opened;
}

} // namespace Diagnostics

#include "diagnostics.h"

#include "connectionstring.h"
#include "dbconnection.h"
#include "dbroutines.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSelfTest, "linetally.selftest", QtWarningMsg)

namespace Diagnostics {

namespace {

const QString kLocalHost = QStringLiteral("localhost");

// Walks the test query's rows; reads field 0 of each when asked to.
bool runTestQuery(DbConnection& connection, bool readFields) {
    if (!connection.execute(dbRoutines::kTestQuery))
        return false;
    qCDebug(lcSelfTest) << "reading table...";
    while (connection.next()) {
        if (readFields)
            (void)connection.text(0);
    }
    if (!connection.lastError().isEmpty())
        return false;
    qCDebug(lcSelfTest) << "read completed";
    connection.close();
    qCDebug(lcSelfTest) << "closed";
    return true;
}

QString pairValue(const ConnectionPairs& pairs, const QString& key) {
    for (const auto& [name, value] : pairs) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

} // namespace

QString OdbcSelfTestConnectionString() {
    return QStringLiteral("Driver={PostgreSQL ANSI}; Server=") + kLocalHost +
           QStringLiteral("; PORT=5480; Database=phonesystem; UID=admin; PWD=tovrim3");
}

QString OleDbSelfTestConnectionString() {
    return QStringLiteral("Provider=PostgreSQL OLE DB Provider; Data Source=") + kLocalHost +
           QStringLiteral("; PORT=5480; Location=phonesystem; User ID=admin; Password=tovrim3;");
}

bool RunOdbcSelfTest() {
    DbConnection connection;
    qCDebug(lcSelfTest) << "Trying to connect...";
    if (!connection.open(OdbcSelfTestConnectionString())) {
        qCDebug(lcSelfTest).noquote() << "Connection failed with error:\r" + connection.lastError();
        return false;
    }
    qCDebug(lcSelfTest) << "connected";
    const bool ok = runTestQuery(connection, true);
    if (!ok)
        qCDebug(lcSelfTest).noquote() << "Connection failed with error:\r" + connection.lastError();
    return ok;
}

bool RunOleDbSelfTest() {
    const auto pairs = ParseConnectionString(OleDbSelfTestConnectionString());
    if (!pairs)
        return false;
    bool portOk = false;
    const int port = pairValue(*pairs, QStringLiteral("PORT")).toInt(&portOk);
    if (!portOk)
        return false;
    DbConnection connection(QStringLiteral("QPSQL"));
    if (!connection.openNative(pairValue(*pairs, QStringLiteral("Data Source")), port,
                               pairValue(*pairs, QStringLiteral("Location")),
                               pairValue(*pairs, QStringLiteral("User ID")),
                               pairValue(*pairs, QStringLiteral("Password"))))
        return false;
    return runTestQuery(connection, false);
}

} // namespace Diagnostics

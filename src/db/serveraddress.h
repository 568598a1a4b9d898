#pragma once

#include <QString>

// Where the phone system's database is, written once for every route to it: the ODBC
// connection strings, PostgreSQL's own client library, the self-tests and the help texts.
namespace dbRoutines {

// An address, not "localhost": that name may resolve to ::1 first, where another local user could
// be listening while the database listens on 127.0.0.1 only.
inline const QString kServerHost = QStringLiteral("127.0.0.1");
inline const QString kDatabaseName = QStringLiteral("phonesystem");
// The setting that names another port of kServerHost (a tunnel to another phone system), and
// the port without one.
inline constexpr char kDbPortName[] = "DBPORT";
inline constexpr int kDefaultDbPort = 5480;

} // namespace dbRoutines

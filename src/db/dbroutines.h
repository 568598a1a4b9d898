#pragma once

#include <QString>

#include <QStringList>

class CallListModel;
struct SearchQuery;

// Reaching the phone system's database: the driver probe, the connection strings, and the two
// routines that read from it. Every routine opens its own connection and closes it before it
// returns; nothing shows a message.
namespace dbRoutines {

inline const QString kUnicodeDriver = QStringLiteral("Driver={PostgreSQL Unicode};");
inline const QString kPlainDriver = QStringLiteral("Driver={PostgreSQL};");
inline const QString kAnsiDriver = QStringLiteral("Driver={PostgreSQL ANSI};");

inline const QString kTestQuery = QStringLiteral("SELECT count(*) FROM public.calldetails");
inline const QString kExtensionQuery = QStringLiteral(
    "SELECT value FROM public.dnallocation WHERE kind=1 GROUP BY value ORDER BY value");
inline constexpr int kExtensionLimit = 32000;

// The driver clause that last passed the probe; empty until the first success, never cleared.
extern QString DbDriver;

// Driver clause, server part, then the stored user name and password (quoted when they hold
// characters that would otherwise end or change the value).
QString WorkingConnectionString(const QString& driverClause);
// The same with the fetch options of the probe appended.
QString ProbeConnectionString(const QString& driverClause);

bool TestConnection(const QString& driverClause);
// Tries the Unicode, the plain and the ANSI driver names in turn; the first that connects and
// runs the test query becomes DbDriver. A server that does not answer within the login timeout
// will not answer another driver either, so the probe stops there.
bool FindDriver();
// Why the last probe failed, in the driver's words and never with the password; empty after a
// probe that succeeded.
QString LastConnectionFailure();
// The text with every occurrence of the stored password masked.
QString WithoutPassword(const QString& text);

// The phone system's extensions in the server's order, at most 32000; the window puts them into
// its extension list. Entries read before a failure are kept.
QStringList FillExtensionList();

// Empties the list, runs the search and lists one row per call. False when any step failed;
// the rows listed up to then stay, and failure (when given) receives the driver's reason,
// without the password.
bool RunSearchQuery(const SearchQuery& query, CallListModel& list, QString* failure = nullptr);

} // namespace dbRoutines

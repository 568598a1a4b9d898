#pragma once

#include <QString>

class CallListModel;
class QComboBox;
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
// runs the test query becomes DbDriver.
bool FindDriver();

// Appends the phone system's extensions to the list (at most 32000).
void FillExtensionList(QComboBox* combo);

// Empties the list, runs the search and lists one row per call. False when any step failed;
// the rows listed up to then stay.
bool RunSearchQuery(const SearchQuery& query, CallListModel& list);

// A date and time of day as the database holds it, before any time zone is applied.
struct DbTimestamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "Start Time" as the list shows it: M/d/yyyy h:mm:ss AM|PM, or the date alone at midnight.
QString StartTimeText(const DbTimestamp& at);
// The same from the driver's text of a timestamp; any other text is shown as it is.
QString StartTimeTextFromDriver(const QString& text);

} // namespace dbRoutines

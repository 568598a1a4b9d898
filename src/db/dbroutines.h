#pragma once

#include "callrows.h"
#include "config.h"
#include "connectionsettings.h"
#include "dbconnection.h"
#include "result.h"
#include "serveraddress.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct SearchQuery;

// Reaching the phone system's database: the driver probe, the connection strings, and the two
// routines that read from it. Every routine opens its own connection and closes it before it
// returns; nothing shows a message. Each gives what it found with the reason it stopped, in the
// driver's words and never with the password.
namespace dbRoutines {

inline const QString kUnicodeDriver = QStringLiteral("Driver={PostgreSQL Unicode};");
inline const QString kPlainDriver = QStringLiteral("Driver={PostgreSQL};");
inline const QString kAnsiDriver = QStringLiteral("Driver={PostgreSQL ANSI};");

inline const QString kTestQuery = QStringLiteral("SELECT count(*) FROM public.calldetails");
inline const QString kExtensionQuery = QStringLiteral(
    "SELECT value FROM public.dnallocation WHERE kind=1 GROUP BY value ORDER BY value");
inline constexpr int kExtensionLimit = 32000;

// The driver clause that last passed the probe; empty until the first success, never cleared.
// Read and written on the window's (or the command's) thread only: work on another thread gets
// it inside a ConnectionSettings.
extern QString DbDriver;

// The port of 127.0.0.1 to connect to: DBPORT of the settings, 5480 without one. A DBPORT that
// is not a port number fails with a reason naming the setting; the value is then the default.
Result<int> DatabasePort(const config::Settings& settings = config::ProgramSettings());
// A port as the command line or a setting gives it: a whole number from 1 to 65535.
std::optional<int> ReadPortNumber(const QString& text);

// What a connection needs, read from the given settings, with the given driver clause.
ConnectionSettings ConnectionSettingsOf(const config::Settings& settings,
                                        const QString& driverClause);
// The program's settings as they stand now, with DbDriver as the driver clause.
ConnectionSettings CurrentConnectionSettings();

// Driver clause, server part, then the user name and password (quoted when they hold
// characters that would otherwise end or change the value).
QString WorkingConnectionString(const ConnectionSettings& settings);
// The same with the settings as they stand now and the given driver clause.
QString WorkingConnectionString(const QString& driverClause);
// The same with the fetch options of the probe appended.
QString ProbeConnectionString(const QString& driverClause);

// Tries the Unicode, the plain and the ANSI driver names in turn with the settings' credentials;
// the first that connects and runs the test query is the value. A server that does not answer
// within the login timeout will not answer another driver either, so the probe stops there. On
// a failure the reason is the first registered driver's. Changes nothing but the value.
Result<QString> ProbeDrivers(const ConnectionSettings& settings);
// ProbeDrivers with the settings as they stand now; a driver found becomes DbDriver, and on a
// failure DbDriver keeps what it held.
Result<QString> FindDriver();
// The driver is found once, by whoever asks first: DbDriver when one was found before, else
// FindDriver's. The terminal reaches it this way.
Result<QString> FindDriverOnce();
// A probe's driver becomes DbDriver unless one was found before: credentials typed while the
// probe ran may have found one of their own, which stays. The windows' workers probe with the
// settings they were given and hand the driver back to this, on the window's thread.
void KeepFirstDriver(const Result<QString>& probed);
inline const QString kConnectFailed =
    QStringLiteral("Linetally failed to connect to your 3CX database.");
inline const QString kLineBreakRefusal = QStringLiteral(
    "The user name and the password cannot hold line breaks. Please type them again.");
// Stores a user name and password as the settings and probes the drivers with them. Refused with
// kLineBreakRefusal, and nothing stored, when either holds a line break: the server would take
// it, but local.cfg holds one setting per line. Otherwise the probe's failure. The caller saves
// the settings after a success.
Status TryCredentials(const QString& user, const QString& password);

// The phone system's extensions in the server's order, at most 32000. After a failure the
// value holds the entries read before it.
Result<QStringList> FillExtensionList(const ConnectionSettings& settings);
Result<QStringList> FillExtensionList();

// One call as it is read from the database: the numbers' UTF-8 bytes (valid during the call of
// the reader), the start and the duration as CallRows keeps them, with their texts where they
// have no number form.
struct CallRecord {
    QByteArrayView callFrom, callTo;
    qint64 start = CallRows::kNoStart;
    qint32 duration = CallRows::kNoDuration;
    QString startText, durationText;
    // How many calls the whole result holds, where the driver knows it before the last row.
    qsizetype expectedRows = -1;
    // A number was not UTF-8 as stored: its bytes that are not stand as replacement characters.
    bool numbersRepaired = false;
};
// Gives each call of the statement to the reader as it is fetched; the reader returns false to
// stop early (the result is then ok). Where the server refuses to send a number as UTF-8 text,
// the calls are read once more with the numbers' stored bytes, repaired. Many rows are read in
// batches or whole, as the mode says.
Status ReadCalls(const ConnectionSettings& settings, const SearchQuery& query,
                 DbConnection::Rows rows, const std::function<bool(const CallRecord&)>& reader);
Status ReadCalls(const SearchQuery& query, DbConnection::Rows rows,
                 const std::function<bool(const CallRecord&)>& reader);

// The same, for the terminal's reports of many calls: read through PostgreSQL's own client
// library (PgRows), in the same session and under the same protections, in about a third of
// the time. Rows::InBatches, Rows::FirstAtOnce or Rows::Copied; the terminal's reports, with
// the program's settings, are Copied.
Status StreamCalls(const ConnectionSettings& settings, const SearchQuery& query,
                   const std::function<bool(const CallRecord&)>& reader,
                   DbConnection::Rows rows = DbConnection::Rows::InBatches);
Status StreamCalls(const SearchQuery& query, const std::function<bool(const CallRecord&)>& reader);

// Runs a statement of sums, in a session like ReadCalls's, and gives each row to the reader,
// which reads its columns and returns false to stop early (the result is then ok). The result
// is read whole: it should hold far fewer rows than the calls it sums up.
Status ReadRows(const ConnectionSettings& settings, const SearchQuery& query,
                const std::function<bool(DbConnection&)>& reader);
Status ReadRows(const SearchQuery& query, const std::function<bool(DbConnection&)>& reader);

// Runs the search and gives one row per call, listed into the (empty) rows given. After a
// failure the value holds the rows listed up to then.
Result<CallRows> RunSearchQuery(const ConnectionSettings& settings, const SearchQuery& query,
                                CallRows rows = {});
Result<CallRows> RunSearchQuery(const SearchQuery& query);

} // namespace dbRoutines

#include "dbroutines.h"

#include "config.h"
#include "connectionstring.h"
#include "dbconnection.h"
#include "memoryuse.h"
#include "pgrows.h"
#include "searchquery.h"
#include "textforms.h"

#include <QDir>
#include <QTimeZone>

#include <new>

namespace dbRoutines {

QString DbDriver;

namespace {

const QString kProbeOptions = QStringLiteral(";A7=50;A8=8192;USEDECLAREFETCH =1");

// One probe's outcome, with what its failure says about the next driver name.
struct Probe {
    Status status;
    DbConnection::OpenFailure openFailure = DbConnection::OpenFailure::None;
};

Probe probe(ConnectionSettings settings, const QString& driverClause) {
    settings.driverClause = driverClause;
    DbConnection connection;
    connection.setQueryTimeout(settings.queryTimeoutSeconds);
    const Result<DbConnection::OpenFailure> opened = connection.tryOpen(
        WorkingConnectionString(settings) + kProbeOptions, settings.ownerAccount);
    Status status = opened.status;
    // The test query gives up like the login: a locked table must not hold the start for a
    // minute per driver name.
    if (status)
        status = connection.execute(kTestQuery, {}, DbConnection::Rows::Few,
                                    DbConnection::kLoginTimeoutSeconds);
    if (status)
        status = connection.forEachRow([] { return true; });
    if (!status)
        return {status, DbConnection::TimedOut(status) ? DbConnection::OpenFailure::TimedOut
                                                       : opened.value};
    connection.close();
    return {};
}

} // namespace

std::optional<int> ReadPortNumber(const QString& text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

Result<int> DatabasePort(const config::Settings& settings) {
    const QString text = settings.get(QString::fromLatin1(kDbPortName));
    if (text.isEmpty())
        return Succeeded(kDefaultDbPort);
    if (const auto port = ReadPortNumber(text))
        return Succeeded(*port);
    return Failed(QStringLiteral("The setting %1 in %2 is \"%3\", which is not a port number "
                                 "(1 to 65535).")
                      .arg(QString::fromLatin1(kDbPortName),
                           QDir::toNativeSeparators(config::ConfigFilePath()), text),
                  kDefaultDbPort);
}

ConnectionSettings ConnectionSettingsOf(const config::Settings& settings,
                                        const QString& driverClause) {
    return {driverClause, DatabasePort(settings), settings.get(QStringLiteral("dbuser")),
            settings.get(QStringLiteral("dbpass")), config::DatabaseOwnerAccount(settings)};
}

ConnectionSettings CurrentConnectionSettings() {
    return ConnectionSettingsOf(config::ProgramSettings(), DbDriver);
}

// The port goes into the string, where the check of who listens there reads it too.
QString WorkingConnectionString(const ConnectionSettings& settings) {
    return settings.driverClause + QStringLiteral(" Server=") + kServerHost +
           QStringLiteral("; PORT=") + QString::number(settings.port.value) +
           QStringLiteral("; Database=") + kDatabaseName + QStringLiteral("; UID=") +
           QuoteConnectionValue(settings.user) + QStringLiteral("; PWD=") +
           QuoteConnectionValue(settings.password);
}

QString WorkingConnectionString(const QString& driverClause) {
    ConnectionSettings settings = CurrentConnectionSettings();
    settings.driverClause = driverClause;
    return WorkingConnectionString(settings);
}

QString ProbeConnectionString(const QString& driverClause) {
    return WorkingConnectionString(driverClause) + kProbeOptions;
}

Result<QString> ProbeDrivers(const ConnectionSettings& settings) {
    // A port that is not a number would send the credentials to another one.
    if (!settings.port)
        return Failed<QString>(settings.port.reason());
    QString reason;
    bool reasonIsMissingDriver = false;
    for (const QString& clause : {kUnicodeDriver, kPlainDriver, kAnsiDriver}) {
        const Probe tried = probe(settings, clause);
        if (tried.status)
            return Succeeded(clause);
        // The first driver that is there says more about the server than a name that is not
        // registered.
        const bool missing = tried.openFailure == DbConnection::OpenFailure::DriverMissing;
        if (reason.isEmpty() || (reasonIsMissingDriver && !missing)) {
            reason = tried.status.reason();
            reasonIsMissingDriver = missing;
        }
        if (tried.openFailure == DbConnection::OpenFailure::TimedOut)
            break;
    }
    return Failed<QString>(reason);
}

Result<QString> FindDriver() {
    Result<QString> found = ProbeDrivers(CurrentConnectionSettings());
    if (found)
        DbDriver = found.value;
    return found;
}

Result<QString> FindDriverOnce() {
    if (!DbDriver.isEmpty())
        return Succeeded(DbDriver);
    return FindDriver();
}

void KeepFirstDriver(const Result<QString>& probed) {
    if (probed && DbDriver.isEmpty())
        DbDriver = probed.value;
}

Status TryCredentials(const QString& user, const QString& password) {
    if (!config::FitsOnOneLine(user) || !config::FitsOnOneLine(password))
        return Status::failure(kLineBreakRefusal);
    config::SetConfig(QStringLiteral("dbuser"), user);
    config::SetConfig(QStringLiteral("dbpass"), password);
    return FindDriver().status;
}

namespace {

Status openWith(DbConnection& connection, const ConnectionSettings& settings) {
    connection.setQueryTimeout(settings.queryTimeoutSeconds);
    return connection.open(WorkingConnectionString(settings), settings.ownerAccount);
}

Status openWith(PgRows& connection, const ConnectionSettings& settings) {
    return connection.open(settings);
}

} // namespace

Result<QStringList> FillExtensionList() {
    return FillExtensionList(CurrentConnectionSettings());
}

Result<QStringList> FillExtensionList(const ConnectionSettings& settings) {
    QStringList entries;
    DbConnection connection;
    Status status = openWith(connection, settings);
    if (status)
        status = connection.execute(kExtensionQuery, {}, DbConnection::Rows::InBatches);
    if (status) {
        status = connection.forEachRow([&] {
            // A NULL extension is passed over; the rest of the list still comes.
            if (const auto value = connection.text(0))
                entries << *value;
            return entries.size() < kExtensionLimit;
        });
    }
    if (!status)
        return Failed(status.reason(), entries);
    return Succeeded(entries);
}

namespace {

// A start time as the list keeps it: a number for a real date and time, otherwise the driver's
// text. psqlODBC turns infinity into 9999-12-31 23:59:59 and -infinity into the year -9999 before
// the program sees them, and fills a timestamp it cannot read (the year 10000 and later) with
// today's date at midnight, so those fields are not taken at their word.
template <typename Connection>
bool readStart(Connection& connection, int column, CallRecord& call) {
    const DbValue value = connection.value(column);
    switch (value.kind) {
    case DbValue::Kind::Failed:
        return false;
    case DbValue::Kind::Null:
        call.start = CallRows::kNoStart;
        return true;
    case DbValue::Kind::Bytes:
        if (const auto seconds = TextForms::StartSecondsFromDriverText(value.bytes)) {
            call.start = *seconds;
        } else {
            call.start = CallRows::kStartIsText;
            call.startText = QString::fromUtf8(value.bytes);
        }
        return true;
    case DbValue::Kind::Timestamp:
        break;
    }
    const auto asText = [&call](QString text) {
        call.start = CallRows::kStartIsText;
        call.startText = std::move(text);
        return true;
    };
    const bool midnight = value.hour == 0 && value.minute == 0 && value.second == 0;
    if (value.fraction == 0 && value.year == 9999 && value.month == 12 && value.day == 31 &&
        value.hour == 23 && value.minute == 59 && value.second == 59) {
        return asText(QStringLiteral("infinity"));
    }
    if (value.year == -9999 && value.month == 1 && value.day == 1 && midnight) {
        return asText(QStringLiteral("-infinity"));
    }
    const auto seconds = TextForms::StartSecondsOf(
        {value.year, value.month, value.day, value.hour, value.minute, value.second});
    if (seconds && !(midnight && value.fraction == 0)) {
        call.start = *seconds;
        return true;
    }
    // A midnight, a year before 1 or fields out of range: what does the driver write for it?
    const auto text = connection.valueAsText(column);
    if (const auto fromText = text ? TextForms::StartSecondsFromDriverText(*text) : std::nullopt) {
        call.start = *fromText;
        return true;
    }
    return asText(text ? QString::fromUtf8(*text) : QString());
}

// Read once: on a driver that refuses bound columns a value cannot be fetched a second time.
template <typename Connection>
bool readDuration(Connection& connection, int column, CallRecord& call) {
    const DbValue value = connection.value(column);
    switch (value.kind) {
    case DbValue::Kind::Failed:
        return false;
    case DbValue::Kind::Null:
        call.duration = CallRows::kNoDuration;
        return true;
    case DbValue::Kind::Bytes:
        if (const auto seconds = TextForms::StoredDurationSeconds(value.bytes)) {
            call.duration = *seconds;
            return true;
        }
        break;
    case DbValue::Kind::Timestamp:
        break;
    }
    call.duration = CallRows::kDurationIsText;
    call.durationText = DbConnection::TextOf(value).value_or(QString());
    return true;
}

} // namespace

namespace {

// Connects and runs a report's statement in a session that keeps the program's time zone, so
// that the day of a start held with its zone (timestamptz) and its shown time agree with the
// user's clock; a plain timestamp is not affected. A zone the server does not know leaves the
// server's own.
//
// With storedBytes given, a database that does not check its text (SQL_ASCII, where any bytes
// may stand in a number) gets the calls' numbers as their stored bytes, and storedBytes says so:
// the server refuses to send a value that is not UTF-8 as text, which would fail the whole
// statement, part way through its rows. Any other database has checked every value it holds.
template <typename Connection>
Status runInProgramZone(Connection& connection, const ConnectionSettings& settings,
                        const SearchQuery& query, DbConnection::Rows rows, bool roomForSums = false,
                        bool* storedBytes = nullptr) {
    Status status = openWith(connection, settings);
    if (status) {
        // A quarter's minutes, or a number's figures, grouped in memory instead of on disk; and
        // without compiling the statement first, which costs more than it saves on sums that
        // take a second (measured: 171 ms of a quarter's minutes).
        if (roomForSums) {
            (void)connection.execute(
                QStringLiteral("SELECT set_config('work_mem', '64MB', false)"));
            (void)connection.execute(QStringLiteral("SELECT set_config('jit', 'off', false)"));
        }
        const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
        if (!zone.isEmpty())
            (void)connection.execute(QStringLiteral("SELECT set_config('TimeZone', ?, false)"),
                                     {zone});
        if (storedBytes) {
            std::optional<QString> encoding;
            status = connection.execute(QStringLiteral("SHOW server_encoding"));
            if (status)
                status = connection.forEachRow([&] {
                    encoding = connection.text(0);
                    return true;
                });
            const auto asBytes = encoding == QLatin1String("SQL_ASCII")
                                     ? WithNumbersAsStoredBytes(query)
                                     : std::nullopt;
            *storedBytes = asBytes.has_value();
            if (!status)
                return status;
            if (asBytes)
                return connection.execute(asBytes->statement, asBytes->parameters, rows);
        }
        status = connection.execute(query.statement, query.parameters, rows);
    }
    return status;
}

} // namespace

Status ReadRows(const SearchQuery& query, const std::function<bool(DbConnection&)>& reader) {
    return ReadRows(CurrentConnectionSettings(), query, reader);
}

Status ReadRows(const ConnectionSettings& settings, const SearchQuery& query,
                const std::function<bool(DbConnection&)>& reader) {
    DbConnection connection;
    // The rows are sums, far fewer than the calls: read whole, so that the server may scan in
    // parallel, which it does not for a cursor.
    if (Status status =
            runInProgramZone(connection, settings, query, DbConnection::Rows::Many, true);
        !status)
        return status;
    bool stopped = false;
    const Status walked = connection.forEachRow([&] {
        stopped = !reader(connection);
        return !stopped;
    });
    if (stopped)
        return {};
    if (!walked)
        return walked;
    connection.close();
    return {};
}

Status ReadCalls(const SearchQuery& query, DbConnection::Rows rows,
                 const std::function<bool(const CallRecord&)>& reader) {
    return ReadCalls(CurrentConnectionSettings(), query, rows, reader);
}

namespace {

// A number read as the hexadecimal of its stored bytes, as UTF-8: bytes that are not UTF-8
// become replacement characters. Returns whether any did.
bool RepairedNumber(const DbValue& value, QByteArray& number) {
    number = QByteArray::fromHex(value.bytes.toByteArray());
    const QByteArray repaired = QString::fromUtf8(number).toUtf8();
    if (repaired == number)
        return false;
    number = repaired;
    return true;
}

} // namespace

namespace {

template <typename Connection>
Status readCalls(const ConnectionSettings& settings, const SearchQuery& query,
                 DbConnection::Rows rows, const std::function<bool(const CallRecord&)>& reader) {
    Connection connection;
    bool storedBytes = false;
    Status status = runInProgramZone(connection, settings, query, rows, false, &storedBytes);
    if (!status)
        return status;
    CallRecord call;
    call.expectedRows = connection.recordCount();
    QByteArray fromBytes, toBytes;
    bool stopped = false;
    status = connection.forEachRow([&] {
        // Fields 0, 1, 3, 2 fill the four columns; a NULL shows as an empty cell.
        const DbValue from = connection.value(0);
        const DbValue to = connection.value(1);
        call.startText.clear();
        call.durationText.clear();
        if (from.kind == DbValue::Kind::Failed || to.kind == DbValue::Kind::Failed ||
            !readStart(connection, 3, call) || !readDuration(connection, 2, call))
            return false; // the walk ends here, and says why
        call.callFrom = from.bytes;
        call.callTo = to.bytes;
        if (storedBytes) {
            call.numbersRepaired = false;
            if (from.kind == DbValue::Kind::Bytes) {
                call.numbersRepaired |= RepairedNumber(from, fromBytes);
                call.callFrom = fromBytes;
            }
            if (to.kind == DbValue::Kind::Bytes) {
                call.numbersRepaired |= RepairedNumber(to, toBytes);
                call.callTo = toBytes;
            }
        }
        stopped = !reader(call);
        return !stopped;
    });
    if (stopped)
        return {};
    if (!status)
        return status;
    connection.close();
    return {};
}

} // namespace

Status ReadCalls(const ConnectionSettings& settings, const SearchQuery& query,
                 DbConnection::Rows rows, const std::function<bool(const CallRecord&)>& reader) {
    return readCalls<DbConnection>(settings, query, rows, reader);
}

Status StreamCalls(const ConnectionSettings& settings, const SearchQuery& query,
                   const std::function<bool(const CallRecord&)>& reader, DbConnection::Rows rows) {
    return readCalls<PgRows>(settings, query, rows, reader);
}

Status StreamCalls(const SearchQuery& query, const std::function<bool(const CallRecord&)>& reader) {
    return StreamCalls(CurrentConnectionSettings(), query, reader, DbConnection::Rows::Copied);
}

Result<CallRows> RunSearchQuery(const SearchQuery& query) {
    return RunSearchQuery(CurrentConnectionSettings(), query);
}

Result<CallRows> RunSearchQuery(const ConnectionSettings& settings, const SearchQuery& query,
                                CallRows rows) {
    bool fits = true;
    bool reserved = false;
    const auto list = [&](const CallRecord& call) {
        // Where the driver holds the whole result and knows its size, the list takes its room
        // at once instead of growing, which would hold the largest columns twice while they
        // move.
        if (!reserved) {
            reserved = true;
            if (call.expectedRows > 0)
                rows.reserve(call.expectedRows, 11);
        }
        fits = rows.append(call.callFrom, call.callTo, call.start, call.duration, call.startText,
                           call.durationText);
        return fits;
    };
    Status status;
    try {
        // Read whole rather than through a cursor: on a phone system's table, which has no
        // index on the day, the server scans in parallel only for a statement read whole
        // (measured: 127 ms against 194 ms for 20,000 calls among 2,000,000). Read whole, the
        // driver holds its own copy of every row (about 190 bytes a call besides the list's
        // 45), and an allocation that fails in there takes the process down: under a limit
        // on its memory the program reads in batches, so that only the list grows and running
        // out of room ends in "Out of memory".
        status = ReadCalls(settings, query,
                           platform::MemoryIsLimited() ? DbConnection::Rows::InBatches
                                                       : DbConnection::Rows::Many,
                           list);
    } catch (const std::bad_alloc&) {
        // The rows read so far go too: whatever runs next needs memory.
        rows.clear();
        return Failed(QStringLiteral("Out of memory"), std::move(rows));
    }
    // The driver's copy of a result read whole is freed by now, but the C library may keep the
    // pages for itself: give them back, so that the window holds its list and not the
    // driver's high-water mark (measured for 1,000,000 calls: 197 MB resident after the search
    // instead of about 86 MB).
    platform::ReturnFreedMemory();
    if (!status)
        return Failed(status.reason(), std::move(rows));
    if (!fits)
        return Failed(QStringLiteral("the result is too large to list"), std::move(rows));
    return Succeeded(std::move(rows));
}

} // namespace dbRoutines

#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "connectionsettings.h"
#include "dbvalue.h"
#include "peercheck.h"
#include "result.h"
#include "stallguard.h"

class OdbcRows;
class DbConnection;

// A connection whose statement another thread may stop.
class Cancellable {
public:
    // Cancels the statement that runs or reads rows now, from any thread; that statement then
    // fails, as does every later one.
    virtual void cancel() = 0;

protected:
    ~Cancellable() = default;
};

// The connections one worker's operations open, so that another thread can cancel what they
// wait for. Once cancelled, the group stays so: connections opened in it afterwards fail at once.
class CancelGroup {
public:
    // Cancels the statement each member is running; thread-safe.
    void cancel();

    // Connections made on the calling thread from now on join the group (nullptr: none).
    static void JoinOnThisThread(CancelGroup* group);
    // A connection made on this thread joins its group, if any, once it can be cancelled, and
    // leaves it before it is destroyed.
    static CancelGroup* Join(Cancellable* connection);
    static void Leave(CancelGroup* group, Cancellable* connection);

private:
    std::mutex mutex_;
    std::vector<Cancellable*> members_;
    bool cancelled_ = false;
};

// The program's stand-in for ADO's Connection and Recordset: one connection, one statement,
// its rows walked forward and read by position. Failures come back as a Status with the driver's
// own words; nothing throws. Everything is released by the destructor.
class DbConnection : public Cancellable {
public:
    // What a failed open ran into, as far as the driver's report tells.
    enum class OpenFailure { None, TimedOut, DriverMissing, Other };

    // How long a statement may run unless the connection is told less.
    static constexpr int kQueryTimeoutSeconds = ConnectionSettings::kQueryTimeoutSeconds;
    static constexpr int kLoginTimeoutSeconds = 15;

    // The driver Qt SQL connects through: "QODBC" for the program, "QPSQL" for the native test.
    // A call that waits for the server longer than stallLimit has its socket shut down.
    explicit DbConnection(const QString& qtDriver = QStringLiteral("QODBC"),
                          std::chrono::seconds stallLimit = StallGuard::kLimit);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Opens with an ODBC connection string. Blanks around keys are removed first, since the
    // driver does not ignore them. A login gives up after 15 seconds. Only the database owner's
    // programs may listen where the password goes (ownerAccount: the account's name).
    Status open(const QString& connectionString, const QString& ownerAccount) {
        return tryOpen(connectionString, ownerAccount).status;
    }
    // Opens as open() does; the value tells what a failure ran into (None on success), which
    // tells the driver probe whether another driver name may fare better.
    Result<OpenFailure> tryOpen(const QString& connectionString, const QString& ownerAccount);
    // Opens a native PostgreSQL connection (the OLE DB self-test's route).
    Status openNative(const QString& host, int port, const QString& database, const QString& user,
                      const QString& password, const QString& ownerAccount);

    // How many rows a statement may bring, and so how the driver is asked to read them.
    enum class Rows {
        Few,         // the driver's defaults
        Many,        // the whole result, held by the driver once and copied as it streams in
        InBatches,   // a server cursor: the driver holds one batch at a time, but the server
                     // cannot scan in parallel for a cursor, so a scan without index takes longer
        FirstAtOnce, // as InBatches, where the first rows are wanted on screen at once: where
                     // the route can, they are read alone ahead of the cursor, in the same
                     // snapshot. The statement's order must leave no two rows to chance.
        Copied,      // every row as the server copies them out (COPY), which it does in parallel
                     // and with the least work a row: PostgreSQL's own route (PgRows) only; the
                     // driver reads these InBatches
    };
    // Runs one statement with the values bound to its "?" placeholders, in order. It gives up
    // after the given seconds, or the connection's limit where that is less (0: the limit).
    Status execute(const QString& statement, const QVariantList& parameters = {},
                   Rows rows = Rows::Few, int timeoutSeconds = 0);
    // Walks the rows of the statement run last, calling onRow() for each, which reads the row
    // with value() or text(), until it gives false. Fails with why the walk broke off: the
    // driver's reason, or a value that could not be read.
    template <typename OnRow> Status forEachRow(OnRow&& onRow) {
        while (next()) {
            if (!onRow())
                break;
        }
        return endOfRows();
    }
    // A column of the current row as the driver delivered it; its bytes stay valid until the
    // next row. Kind::Failed when it could not be read, which also ends the walk.
    DbValue value(int column);
    // A value again as the driver's text (a timestamp whose fields are not the whole story).
    std::optional<QByteArray> valueAsText(int column);
    // A column of the current row as text; nullopt for NULL or a value that could not be read.
    std::optional<QString> text(int column);
    // A value already read as text, the same way; a value read unbound cannot be read twice.
    static std::optional<QString> TextOf(const DbValue& value);
    // The rows a successful statement produced, when the driver knows them; -1 otherwise.
    int recordCount() const;

    void close();

    void cancel() override;
    // The reason a cancelled statement gives.
    static const QString kCancelled;

    // Checks every connection a login makes to the port on this machine before the password
    // goes out on it: only the database owner's programs, root's and the user's own may listen
    // there. Every route to the server logs in inside one.
    static platform::PeerCheck CheckPeersOn(quint16 port, const QString& ownerAccount);

    // Whether a failure was the statement giving up after its time.
    static bool TimedOut(const Status& status);
    // How long each statement on this connection may run (the settings' queryTimeoutSeconds).
    void setQueryTimeout(int seconds) { queryTimeoutSeconds_ = seconds; }

private:
    // Moves to the next row; false after the last one or on a failure.
    bool next();
    // After next() gave false: whether the walk reached the end of the rows, or why not.
    Status endOfRows() const;
    Status fail(const QString& where, const QString& message);
    void setRowsMode(Rows rows);
    // The ODBC statement cancel() reaches (nullptr: none).
    void setCancellable(void* statementHandle);
    bool isCancelled() const;

    QString name_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> query_;
    std::unique_ptr<OdbcRows> odbcRows_; // the ODBC statement's rows, read directly
    StallGuard stallGuard_;              // bounds each wait for the server
    std::vector<QByteArray> rowBytes_;   // the current row's values read through Qt SQL
    QString rowsFailure_;                // why the walk over the rows stopped early
    CancelGroup* group_ = nullptr;
    int queryTimeoutSeconds_ = kQueryTimeoutSeconds;
    mutable std::mutex cancelMutex_; // guards the two below against cancel() on another thread
    void* cancellable_ = nullptr;
    bool cancelled_ = false;
};

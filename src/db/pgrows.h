#pragma once

#include "connectionsettings.h"
#include "dbconnection.h"
#include "dbvalue.h"
#include "result.h"
#include "stallguard.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <mutex>
#include <optional>

struct pg_cancel;
struct pg_conn;
struct pg_result;

// A statement's rows read through PostgreSQL's own client library, for the terminal's reports
// of many calls: a server cursor read in large batches, the next batch asked for while the
// program writes the one before, and every value taken as the server's text without a copy.
// The ODBC route copies each value twice and waits for each batch in turn (measured: 3.7 times
// as long as psql copying the same million rows; this route: see bench/bench_cli).
//
// It logs in exactly as DbConnection does: to 127.0.0.1 on the settings' port, with the
// settings' user and password handed to the library in memory, inside the same check of the
// listener's owner, the same login limit, and with the same stall guard on every wait; each
// batch is a statement under the same time limit. Read forward only. Made on a thread in a
// CancelGroup, it joins the group.
class PgRows : public Cancellable {
public:
    PgRows();
    ~PgRows();
    PgRows(const PgRows&) = delete;
    PgRows& operator=(const PgRows&) = delete;

    Status open(const ConnectionSettings& settings);
    // Runs a statement with the values bound to its "?" placeholders, in order. A statement
    // that returns rows is read through a cursor, the others at once.
    Status execute(const QString& statement, const QVariantList& parameters = {},
                   DbConnection::Rows rows = DbConnection::Rows::Few);
    // Walks the rows of the statement run last, as DbConnection::forEachRow does.
    template <typename OnRow> Status forEachRow(OnRow&& onRow) {
        while (next()) {
            if (!onRow())
                break;
        }
        return endOfRows();
    }
    // A column of the current row as the server's text, valid until the next batch; a
    // timestamp as the ODBC driver would give it (see the source).
    DbValue value(int column);
    std::optional<QByteArray> valueAsText(int column);
    std::optional<QString> text(int column);
    qsizetype recordCount() const { return -1; }
    void close();
    // Asks the server to stop the statement that runs; it and every later one then fail.
    void cancel() override;

private:
    bool next();
    bool isCancelled() const;
    Status endOfRows() const;
    Status runCommand(const QByteArray& command, const QVariantList& parameters = {});
    bool sendFetch();
    bool takeBatch();
    void clearBatch();

    pg_conn* connection_ = nullptr;
    StallGuard stallGuard_;
    pg_result* batch_ = nullptr;
    int batchRows_ = 0;
    int row_ = -1;
    bool cursorOpen_ = false;
    bool lastBatch_ = false;
    QString rowsFailure_;
    CancelGroup* group_ = nullptr;
    mutable std::mutex cancelMutex_; // guards the two below against cancel() on another thread
    pg_cancel* cancelRequest_ = nullptr;
    bool cancelled_ = false;
};

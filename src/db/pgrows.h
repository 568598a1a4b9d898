#pragma once

#include "connectionsettings.h"
#include "dbconnection.h"
#include "dbvalue.h"
#include "result.h"
#include "stallguard.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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
    // Runs a statement of many rows as COPY in PostgreSQL's binary form, and gives each row to
    // the reader as that form's fields (pgbinary.h) until it returns false. The server copies
    // in parallel and with none of the text forms: rows cost it a third of what a cursor's do.
    // COPY takes no bound values: each is bound to a setting of the transaction instead, which
    // the statement reads where its "?" stood, as the type the server found for it there.
    Status copyRows(const QString& statement, const QVariantList& parameters,
                    const std::function<bool(QByteArrayView row)>& reader);
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
    Status startCopy(const QString& statement, const QVariantList& parameters,
                     const QByteArray& format);
    Result<std::vector<QByteArray>> describe(const QString& statement,
                                             const QVariantList& parameters);
    int takeCopyData(char** data);
    bool nextCopied();
    // After the last row of a copy (the last answer of PQgetCopyData): how it ended.
    Status copyResult(int lastSize);
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
    // A copy's rows, one at a time (Rows::Copied): the row as the server sent it, its fields,
    // the fields that held escapes as read, and the columns' types.
    bool copying_ = false;
    std::unique_ptr<char, void (*)(void*)> line_;
    std::vector<std::optional<QByteArrayView>> fields_;
    std::vector<QByteArray> unescaped_;
    std::vector<unsigned int> types_;
    QString rowsFailure_;
    CancelGroup* group_ = nullptr;
    std::mutex cancelMutex_; // guards the request against cancel() on another thread
    pg_cancel* cancelRequest_ = nullptr;
    std::atomic<bool> cancelled_{false}; // read for every row: no lock
};

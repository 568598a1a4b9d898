#include "pgrows.h"

#include "dbconnection.h"
#include "dbroutines.h"
#include "peercheck.h"

#include <libpq-fe.h>

#include <memory>
#include <utility>

namespace {

// A batch big enough that the server's work for the next one covers the program's for this
// one, small enough to keep memory flat (about 5 MB of calls).
constexpr int kBatchRows = 50000;

// The rows read alone ahead of the cursor, for DbConnection::Rows::FirstAtOnce: a screenful
// and more.
constexpr int kFirstRows = 1000;

// The server's type numbers of the two timestamp types (PostgreSQL's pg_type.dat).
constexpr Oid kTimestampType = 1114;
constexpr Oid kTimestampWithZoneType = 1184;

// "?" placeholders as PostgreSQL numbers them, outside quoted text and names.
QByteArray numberedPlaceholders(const QString& statement) {
    const QByteArray text = statement.toUtf8();
    QByteArray numbered;
    numbered.reserve(text.size() + 16);
    char quote = 0;
    int count = 0;
    for (const char c : text) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            numbered += '$' + QByteArray::number(++count);
            continue;
        }
        numbered += c;
    }
    return numbered;
}

QString resultError(const PGresult* result, pg_conn* connection) {
    const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(connection);
    const QString text = QString::fromUtf8(message).trimmed();
    return text.isEmpty() ? QStringLiteral("the server gave no answer") : text;
}

// Values bound as text; a null QVariant is SQL NULL.
struct BoundValues {
    explicit BoundValues(const QVariantList& parameters) {
        for (const QVariant& parameter : parameters)
            texts.push_back(parameter.isNull() ? QByteArray() : parameter.toString().toUtf8());
        for (qsizetype i = 0; i < parameters.size(); ++i)
            pointers.push_back(parameters[i].isNull() ? nullptr : texts[size_t(i)].constData());
    }
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
};

} // namespace

PgRows::PgRows() {
    group_ = CancelGroup::Join(this);
}

PgRows::~PgRows() {
    CancelGroup::Leave(group_, this);
    close();
}

void PgRows::cancel() {
    std::lock_guard lock(cancelMutex_);
    cancelled_ = true;
    // A request of its own to the server; the statement waiting for it then fails.
    char error[256];
    if (cancelRequest_)
        (void)PQcancel(cancelRequest_, error, int(sizeof error));
}

bool PgRows::isCancelled() const {
    std::lock_guard lock(cancelMutex_);
    return cancelled_;
}

Status PgRows::open(const ConnectionSettings& settings) {
    close();
    const QByteArray host = dbRoutines::kServerHost.toUtf8();
    const QByteArray port = QByteArray::number(settings.port.value);
    const QByteArray database = dbRoutines::kDatabaseName.toUtf8();
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray loginLimit = QByteArray::number(DbConnection::kLoginTimeoutSeconds);
    const char* keys[] = {"host",
                          "port",
                          "dbname",
                          "user",
                          "password",
                          "connect_timeout",
                          "client_encoding",
                          "application_name",
                          nullptr};
    const char* values[] = {host.constData(), port.constData(),     database.constData(),
                            user.constData(), password.constData(), loginLimit.constData(),
                            "UTF8",           "linetally",          nullptr};
    stallGuard_.noteSocketsBefore();
    {
        const platform::PeerCheck peers =
            DbConnection::CheckPeersOn(quint16(settings.port.value), settings.ownerAccount);
        connection_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(connection_) != CONNECTION_OK) {
            const Status refused = peers.refusal();
            const QString reason = refused ? resultError(nullptr, connection_) : refused.reason();
            close();
            return Status::failure(reason);
        }
    }
    stallGuard_.findSocket(quint16(settings.port.value));
    {
        std::lock_guard lock(cancelMutex_);
        cancelRequest_ = PQgetCancel(connection_);
    }
    return runCommand("SET statement_timeout = " +
                      QByteArray::number(qint64(settings.queryTimeoutSeconds) * 1000));
}

Status PgRows::runCommand(const QByteArray& command, const QVariantList& parameters) {
    clearBatch();
    if (isCancelled())
        return Status::failure(DbConnection::kCancelled);
    const BoundValues values(parameters);
    PGresult* result = nullptr;
    {
        const StallScope waiting(stallGuard_);
        result = PQexecParams(connection_, command.constData(), int(values.pointers.size()),
                              nullptr, values.pointers.data(), nullptr, nullptr, 0);
    }
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const QString reason = resultError(result, connection_);
        PQclear(result);
        return Status::failure(reason);
    }
    // Rows of a statement run at once are read like one last batch.
    batch_ = result;
    batchRows_ = PQntuples(result);
    lastBatch_ = true;
    return {};
}

Status PgRows::execute(const QString& statement, const QVariantList& parameters,
                       DbConnection::Rows rows) {
    if (!connection_)
        return Status::failure(QStringLiteral("the connection is not open"));
    rowsFailure_.clear();
    cursorOpen_ = false;
    row_ = -1;
    const QByteArray numbered = numberedPlaceholders(statement);
    if (rows == DbConnection::Rows::Few)
        return runCommand(numbered, parameters);
    const bool firstAtOnce = rows == DbConnection::Rows::FirstAtOnce;
    // The first rows and the cursor see the same calls: one snapshot for the transaction.
    if (Status begun = runCommand(firstAtOnce ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
                                              : "BEGIN READ ONLY");
        !begun)
        return begun;
    QByteArray rest = numbered;
    // Held until the cursor is under way, freed on any failure before that.
    std::unique_ptr<pg_result, void (*)(pg_result*)> first(nullptr, PQclear);
    if (firstAtOnce) {
        // Alone, the first rows are found by every worker the server has (a cursor gets
        // one), sorting only as many as are kept: on screen in a fraction of the time.
        const QByteArray limit = " LIMIT " + QByteArray::number(kFirstRows);
        if (Status read = runCommand(numbered + limit, parameters); !read)
            return read;
        if (batchRows_ < kFirstRows)
            return {}; // that was every row
        first.reset(std::exchange(batch_, nullptr));
        rest += " OFFSET " + QByteArray::number(kFirstRows);
    }
    const QByteArray declare = "DECLARE linetally_rows NO SCROLL CURSOR FOR " + rest;
    if (Status declared = runCommand(declare, parameters); !declared)
        return declared;
    clearBatch();
    lastBatch_ = false;
    cursorOpen_ = true;
    if (PQenterPipelineMode(connection_) != 1)
        return Status::failure(resultError(nullptr, connection_));
    // Two batches asked for at once: the server reads the second while the program writes
    // the first (or the first rows).
    if (!sendFetch() || !sendFetch())
        return Status::failure(rowsFailure_);
    if (first) {
        batch_ = first.release();
        batchRows_ = PQntuples(batch_);
    }
    return {};
}

bool PgRows::sendFetch() {
    static const QByteArray fetch =
        "FETCH FORWARD " + QByteArray::number(kBatchRows) + " FROM linetally_rows";
    if (PQsendQueryParams(connection_, fetch.constData(), 0, nullptr, nullptr, nullptr, nullptr,
                          0) != 1 ||
        PQpipelineSync(connection_) != 1) {
        rowsFailure_ = resultError(nullptr, connection_);
        return false;
    }
    return true;
}

bool PgRows::takeBatch() {
    clearBatch();
    if (isCancelled()) {
        rowsFailure_ = DbConnection::kCancelled;
        cursorOpen_ = false;
        return false;
    }
    PGresult* result = nullptr;
    {
        const StallScope waiting(stallGuard_);
        result = PQgetResult(connection_);
        // Then the end of the batch's results (nothing) and the sync point after it; a
        // connection that broke gives nothing from then on.
        for (int nothing = 0; nothing < 2;) {
            PGresult* after = PQgetResult(connection_);
            if (!after) {
                ++nothing;
                continue;
            }
            const bool synced = PQresultStatus(after) == PGRES_PIPELINE_SYNC;
            PQclear(after);
            if (synced)
                break;
        }
    }
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        rowsFailure_ = resultError(result, connection_);
        PQclear(result);
        cursorOpen_ = false;
        return false;
    }
    batch_ = result;
    batchRows_ = PQntuples(result);
    lastBatch_ = batchRows_ < kBatchRows;
    if (!lastBatch_ && !sendFetch()) {
        cursorOpen_ = false;
        return false;
    }
    return true;
}

bool PgRows::next() {
    if (!batch_ && !cursorOpen_)
        return false;
    if (++row_ < batchRows_)
        return true;
    if (lastBatch_ || !cursorOpen_)
        return false;
    if (!takeBatch())
        return false;
    row_ = 0;
    return batchRows_ > 0;
}

Status PgRows::endOfRows() const {
    return rowsFailure_.isEmpty() ? Status() : Status::failure(rowsFailure_);
}

DbValue PgRows::value(int column) {
    DbValue value;
    if (!batch_ || row_ < 0 || row_ >= batchRows_ || column >= PQnfields(batch_)) {
        value.kind = DbValue::Kind::Failed;
        return value;
    }
    if (PQgetisnull(batch_, row_, column))
        return value;
    value.kind = DbValue::Kind::Bytes;
    value.bytes =
        QByteArrayView(PQgetvalue(batch_, row_, column), PQgetlength(batch_, row_, column));
    const Oid type = PQftype(batch_, column);
    if (type == kTimestampType || type == kTimestampWithZoneType) {
        // The ODBC driver gives the last second of 9999 the fields and text of infinity, and
        // the window and reports show it so: the same here, so that both routes agree.
        const QByteArrayView last("9999-12-31 23:59:59");
        if (value.bytes.startsWith(last) &&
            (value.bytes.size() == last.size() || value.bytes[last.size()] == '+' ||
             value.bytes[last.size()] == '-'))
            value.bytes = QByteArrayView("infinity");
    }
    return value;
}

std::optional<QByteArray> PgRows::valueAsText(int column) {
    const DbValue read = value(column);
    return read.kind == DbValue::Kind::Bytes ? std::optional<QByteArray>(read.bytes.toByteArray())
                                             : std::nullopt;
}

std::optional<QString> PgRows::text(int column) {
    return DbConnection::TextOf(value(column));
}

void PgRows::clearBatch() {
    PQclear(batch_);
    batch_ = nullptr;
    batchRows_ = 0;
    row_ = -1;
}

void PgRows::close() {
    clearBatch();
    {
        std::lock_guard lock(cancelMutex_);
        PQfreeCancel(cancelRequest_);
        cancelRequest_ = nullptr;
    }
    if (connection_) {
        // Batches still asked for are dropped with the connection; the read-only transaction
        // ends with it.
        PQfinish(connection_);
        connection_ = nullptr;
    }
    cursorOpen_ = false;
    lastBatch_ = false;
}

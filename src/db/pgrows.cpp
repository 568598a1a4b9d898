#include "pgrows.h"

#include "dbconnection.h"
#include "dbroutines.h"
#include "peercheck.h"
#include "pgbinary.h"

#include <libpq-fe.h>

#include <algorithm>
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

// The statement with each "?" placeholder outside quoted text and names replaced, in order.
template <typename Replacement>
QByteArray replacedPlaceholders(const QString& statement, Replacement&& replacement) {
    const QByteArray text = statement.toUtf8();
    QByteArray replaced;
    replaced.reserve(text.size() + 16);
    char quote = 0;
    int count = 0;
    for (const char c : text) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            replaced += replacement(++count);
            continue;
        }
        replaced += c;
    }
    return replaced;
}

// "?" placeholders as PostgreSQL numbers them.
QByteArray numberedPlaceholders(const QString& statement) {
    return replacedPlaceholders(statement,
                                [](int number) { return '$' + QByteArray::number(number); });
}

const QString kUnexpectedRows = QStringLiteral("the server's rows came in an unexpected form");

// "SELECT item(1), item(2), ...": one statement for many values.
template <typename Item> QByteArray selectOfEach(qsizetype count, Item&& item) {
    QByteArray select = "SELECT ";
    for (qsizetype i = 0; i < count; ++i)
        select += (i ? ", " : "") + item(int(i + 1));
    return select;
}

// The setting of the transaction that holds a value of a COPY statement.
QByteArray copiedValueSetting(int number) {
    return "linetally.value" + QByteArray::number(number);
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

PgRows::PgRows() : line_(nullptr, PQfreemem) {
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
    return cancelled_.load(std::memory_order_relaxed);
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
    copying_ = false;
    line_.reset();
    row_ = -1;
    if (rows == DbConnection::Rows::Copied) {
        if (Status started = startCopy(statement, parameters, QByteArray()); !started)
            return started;
        copying_ = true;
        return {};
    }
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

Status PgRows::startCopy(const QString& statement, const QVariantList& parameters,
                         const QByteArray& format) {
    if (!connection_)
        return Status::failure(QStringLiteral("the connection is not open"));
    const Result<std::vector<QByteArray>> valueTypes = describe(statement, parameters);
    if (!valueTypes)
        return valueTypes.status;
    if (Status begun = runCommand("BEGIN READ ONLY"); !begun)
        return begun;
    if (!parameters.isEmpty()) {
        if (std::any_of(parameters.begin(), parameters.end(),
                        [](const QVariant& value) { return value.isNull(); }))
            return Status::failure(QStringLiteral("a value of the statement is missing"));
        const QByteArray settings = selectOfEach(parameters.size(), [](int number) {
            return "set_config('" + copiedValueSetting(number) + "', $" +
                   QByteArray::number(number) + ", true)";
        });
        if (Status bound = runCommand(settings, parameters); !bound)
            return bound;
    }
    clearBatch();
    // Each value is read once, before the rows: a sub-select is computed once per statement.
    const QByteArray copy =
        "COPY (" +
        replacedPlaceholders(statement,
                             [&](int number) {
                                 return "(SELECT current_setting('" + copiedValueSetting(number) +
                                        "')::" + valueTypes.value[size_t(number - 1)] + ")";
                             }) +
        ") TO STDOUT" + format;
    {
        const StallScope waiting(stallGuard_);
        batch_ = PQexec(connection_, copy.constData());
    }
    if (PQresultStatus(batch_) != PGRES_COPY_OUT) {
        const QString reason = resultError(batch_, connection_);
        clearBatch();
        return Status::failure(reason);
    }
    clearBatch();
    return {};
}

Status PgRows::copyRows(const QString& statement, const QVariantList& parameters,
                        const std::function<bool(QByteArrayView row)>& reader) {
    if (Status started = startCopy(statement, parameters, " (FORMAT binary)"); !started)
        return started;
    BinaryCopyReader rows;
    bool stopped = false;
    int size = 0;
    for (;;) {
        char* data = nullptr;
        size = takeCopyData(&data);
        if (size < 0)
            break;
        const std::unique_ptr<char, void (*)(void*)> held(data, PQfreemem);
        const BinaryCopyReader::Read read = rows.take(QByteArrayView(data, size));
        if (read == BinaryCopyReader::Read::Malformed)
            return Status::failure(kUnexpectedRows);
        if (read == BinaryCopyReader::Read::Row && !reader(rows.row())) {
            stopped = true;
            break;
        }
    }
    if (stopped) {
        // The rest of the copy is not waited for: the connection goes, and the copy with it.
        close();
        return {};
    }
    const Status status = copyResult(size);
    if (status && !rows.ended())
        return Status::failure(QStringLiteral("the server's rows ended early"));
    return status;
}

Result<std::vector<QByteArray>> PgRows::describe(const QString& statement,
                                                 const QVariantList& parameters) {
    // A copy's rows come without their types, and its values without theirs: the statement is
    // described first, unnamed, and the values' types named by the server.
    const QByteArray numbered = numberedPlaceholders(statement);
    std::vector<QByteArray> valueTypes;
    const auto failed = [&](const PGresult* result) {
        return Failed(resultError(result, connection_), std::move(valueTypes));
    };
    using Held = std::unique_ptr<pg_result, void (*)(pg_result*)>;
    {
        const StallScope waiting(stallGuard_);
        const Held prepared(
            PQprepare(connection_, "", numbered.constData(), int(parameters.size()), nullptr),
            PQclear);
        if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
            return failed(prepared.get());
    }
    Held described(nullptr, PQclear);
    {
        const StallScope waiting(stallGuard_);
        described.reset(PQdescribePrepared(connection_, ""));
    }
    if (PQresultStatus(described.get()) != PGRES_COMMAND_OK)
        return failed(described.get());
    types_.clear();
    for (int column = 0; column < PQnfields(described.get()); ++column)
        types_.push_back(PQftype(described.get(), column));
    QVariantList oids;
    for (int value = 0; value < PQnparams(described.get()); ++value)
        oids << QString::number(PQparamtype(described.get(), value));
    if (oids.isEmpty())
        return Succeeded(std::move(valueTypes));
    const QByteArray names = selectOfEach(oids.size(), [](int number) {
        return "format_type($" + QByteArray::number(number) + "::oid, NULL)";
    });
    if (Status named = runCommand(names, oids); !named)
        return Failed(named.reason(), std::move(valueTypes));
    for (int value = 0; value < PQnfields(batch_); ++value)
        valueTypes.emplace_back(PQgetvalue(batch_, 0, value));
    clearBatch();
    return Succeeded(std::move(valueTypes));
}

int PgRows::takeCopyData(char** data) {
    // A row already received costs no wait, and no look at the clock: only a wait is guarded.
    const int size = PQgetCopyData(connection_, data, 1);
    if (size != 0)
        return size;
    const StallScope waiting(stallGuard_);
    return PQgetCopyData(connection_, data, 0);
}

bool PgRows::nextCopied() {
    line_.reset();
    if (isCancelled()) {
        rowsFailure_ = DbConnection::kCancelled;
        copying_ = false;
        return false;
    }
    char* data = nullptr;
    const int size = takeCopyData(&data);
    if (size < 0) {
        copying_ = false;
        if (const Status ended = copyResult(size); !ended)
            rowsFailure_ = ended.reason();
        return false;
    }
    line_.reset(data);
    // A row: its fields apart by tabs, "\N" for NULL, with backslash escapes, and a newline.
    QByteArrayView text(data, size);
    if (!text.endsWith('\n')) {
        rowsFailure_ = kUnexpectedRows;
        copying_ = false;
        return false;
    }
    text.chop(1);
    fields_.clear();
    for (qsizetype at = 0;;) {
        qsizetype tab = text.indexOf('\t', at);
        const QByteArrayView field = text.sliced(at, (tab < 0 ? text.size() : tab) - at);
        if (field == QByteArrayView("\\N")) {
            fields_.emplace_back();
        } else if (!field.contains('\\')) {
            fields_.emplace_back(field);
        } else {
            if (unescaped_.size() < fields_.size() + 1)
                unescaped_.resize(fields_.size() + 1);
            QByteArray& read = unescaped_[fields_.size()];
            read.clear();
            for (qsizetype i = 0; i < field.size(); ++i) {
                char c = field[i];
                if (c == '\\' && i + 1 < field.size()) {
                    c = field[++i];
                    switch (c) {
                    case 'b':
                        c = '\b';
                        break;
                    case 'f':
                        c = '\f';
                        break;
                    case 'n':
                        c = '\n';
                        break;
                    case 'r':
                        c = '\r';
                        break;
                    case 't':
                        c = '\t';
                        break;
                    case 'v':
                        c = '\v';
                        break;
                    default:
                        break; // the backslash or the tab itself
                    }
                }
                read += c;
            }
            fields_.emplace_back(read);
        }
        if (tab < 0)
            break;
        at = tab + 1;
    }
    return true;
}

Status PgRows::copyResult(int lastSize) {
    // -2: the connection failed, and may leave no result saying so.
    Status status = lastSize == -2 ? Status::failure(resultError(nullptr, connection_)) : Status();
    {
        const StallScope waiting(stallGuard_);
        while (PGresult* result = PQgetResult(connection_)) {
            if (status && PQresultStatus(result) != PGRES_COMMAND_OK)
                status = Status::failure(resultError(result, connection_));
            PQclear(result);
        }
    }
    if (isCancelled())
        return Status::failure(DbConnection::kCancelled);
    return status;
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
    if (copying_)
        return nextCopied();
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
    Oid type = 0;
    if (line_) {
        if (column < 0 || size_t(column) >= fields_.size() || size_t(column) >= types_.size()) {
            value.kind = DbValue::Kind::Failed;
            return value;
        }
        if (!fields_[size_t(column)])
            return value;
        value.kind = DbValue::Kind::Bytes;
        value.bytes = *fields_[size_t(column)];
        type = types_[size_t(column)];
    } else {
        if (!batch_ || row_ < 0 || row_ >= batchRows_ || column >= PQnfields(batch_)) {
            value.kind = DbValue::Kind::Failed;
            return value;
        }
        if (PQgetisnull(batch_, row_, column))
            return value;
        value.kind = DbValue::Kind::Bytes;
        value.bytes =
            QByteArrayView(PQgetvalue(batch_, row_, column), PQgetlength(batch_, row_, column));
        type = PQftype(batch_, column);
    }
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
    line_.reset();
    copying_ = false;
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

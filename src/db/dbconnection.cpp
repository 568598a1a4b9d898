#include "dbconnection.h"

#include "connectionstring.h"
#include "dblog.h"
#include "odbcrows.h"
#include "peercheck.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <atomic>
#include <limits>

namespace {

QString uniqueConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("linetally-%1").arg(++counter);
}

// The driver's words for an error: its diagnostic records, else Qt's summary.
QString errorText(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

DbConnection::OpenFailure classifyOpenFailure(const QString& message, qint64 elapsedMs) {
    // The driver manager's words when no driver is registered under the name.
    if (message.contains(QLatin1String("Can't open lib")) ||
        message.contains(QLatin1String("Data source name not found")))
        return DbConnection::OpenFailure::DriverMissing;
    if (message.contains(QLatin1String("timeout expired"), Qt::CaseInsensitive) ||
        elapsedMs >= (DbConnection::kLoginTimeoutSeconds - 1) * 1000)
        return DbConnection::OpenFailure::TimedOut;
    return DbConnection::OpenFailure::Other;
}

} // namespace

// psqlODBC's own connection attributes: its declare/fetch mode, the rows it fetches at once, and
// whether it prepares statements on the server.
constexpr SQLINTEGER kPsqlOdbcUseDeclareFetch = 65539;
constexpr SQLINTEGER kPsqlOdbcServerSidePrepare = 65540;
constexpr SQLINTEGER kPsqlOdbcFetchRows = 65541;
constexpr SQLULEN kBatchRows = 10000;

void DbConnection::setRowsMode(Rows rows) {
    if (rows == Rows::Few || db_.driverName() != QLatin1String("QODBC"))
        return;
    const QVariant connection = db_.driver()->handle();
    if (!connection.isValid() || !connection.data())
        return;
    SQLHDBC hdbc = *static_cast<SQLHDBC const*>(connection.constData());
    if (!hdbc)
        return;
    // Other drivers do not know these attributes and refuse them; nothing changes then.
    const auto set = [hdbc](SQLINTEGER attribute, SQLULEN value) {
        SQLSetConnectAttr(hdbc, attribute, reinterpret_cast<SQLPOINTER>(value), 0);
    };
    if (rows == Rows::Many) {
        // Prepared on the server, a result arrives whole in libpq before the driver copies it
        // into its own rows, so for a moment it is held twice (measured: 300 MB instead of
        // 190 MB for a million calls). Prepared by the driver, the bound values are written into
        // the statement as quoted literals and the rows are copied as they come.
        set(kPsqlOdbcServerSidePrepare, 0);
    } else {
        set(kPsqlOdbcUseDeclareFetch, 1);
        set(kPsqlOdbcFetchRows, kBatchRows);
    }
}

bool DbConnection::TimedOut(const Status& status) {
    return status.reason().contains(QLatin1String("statement timeout"));
}

Q_LOGGING_CATEGORY(lcDb, "linetally.db", QtWarningMsg)

namespace {
thread_local CancelGroup* threadCancelGroup = nullptr;
} // namespace

const QString DbConnection::kCancelled = QStringLiteral("the statement was cancelled");

void CancelGroup::JoinOnThisThread(CancelGroup* group) {
    threadCancelGroup = group;
}

void CancelGroup::cancel() {
    // The lock keeps each member alive while it is cancelled: a closing connection leaves the
    // group first.
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    for (Cancellable* connection : members_)
        connection->cancel();
}

CancelGroup* CancelGroup::Join(Cancellable* connection) {
    CancelGroup* group = threadCancelGroup;
    if (!group)
        return nullptr;
    std::lock_guard lock(group->mutex_);
    group->members_.push_back(connection);
    if (group->cancelled_)
        connection->cancel();
    return group;
}

void CancelGroup::Leave(CancelGroup* group, Cancellable* connection) {
    if (!group)
        return;
    std::lock_guard lock(group->mutex_);
    auto& members = group->members_;
    members.erase(std::remove(members.begin(), members.end(), connection), members.end());
}

DbConnection::DbConnection(const QString& qtDriver, std::chrono::seconds stallLimit)
    : name_(uniqueConnectionName()), stallGuard_(stallLimit) {
    db_ = QSqlDatabase::addDatabase(qtDriver, name_);
    group_ = CancelGroup::Join(this);
}

DbConnection::~DbConnection() {
    CancelGroup::Leave(group_, this);
    close();
}

void DbConnection::cancel() {
    std::lock_guard lock(cancelMutex_);
    cancelled_ = true;
    // The driver sends the server a cancel request; the waiting call then fails.
    if (cancellable_)
        SQLCancel(static_cast<SQLHSTMT>(cancellable_));
}

void DbConnection::setCancellable(void* statementHandle) {
    std::lock_guard lock(cancelMutex_);
    cancellable_ = statementHandle;
}

bool DbConnection::isCancelled() const {
    std::lock_guard lock(cancelMutex_);
    return cancelled_;
}

Status DbConnection::fail(const QString& where, const QString& message) {
    qCDebug(lcDb) << where << "failed:" << message;
    return Status::failure(message);
}

namespace {

// The port libpq connects to when it is given none, or none it can use.
constexpr quint16 kDefaultServerPort = 5432;

quint16 portOrDefault(qint64 port) {
    return port > 0 && port < 65536 ? quint16(port) : kDefaultServerPort;
}

quint16 serverPort(const QString& connectionString) {
    const auto pairs = ParseConnectionString(connectionString);
    if (!pairs)
        return kDefaultServerPort;
    bool ok = false;
    const uint port = ConnectionValue(pairs.value, QStringLiteral("PORT")).trimmed().toUInt(&ok);
    return ok ? portOrDefault(port) : kDefaultServerPort;
}

} // namespace

platform::PeerCheck DbConnection::CheckPeersOn(quint16 port, const QString& ownerAccount) {
    return platform::PeerCheck(port, ownerAccount,
                               std::chrono::seconds(DbConnection::kLoginTimeoutSeconds));
}

Result<DbConnection::OpenFailure> DbConnection::tryOpen(const QString& connectionString,
                                                        const QString& ownerAccount) {
    const auto failed = [this](OpenFailure ranInto, const QString& reason) {
        return Result<OpenFailure>{ranInto, fail(QStringLiteral("open"), reason)};
    };
    if (!db_.isValid())
        return failed(OpenFailure::Other, QStringLiteral("the Qt SQL driver is not available"));
    const quint16 port = serverPort(connectionString);
    db_.setDatabaseName(NormalizeConnectionString(connectionString));
    db_.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kLoginTimeoutSeconds));
    QElapsedTimer clock;
    clock.start();
    stallGuard_.noteSocketsBefore();
    const platform::PeerCheck peers = CheckPeersOn(port, ownerAccount);
    if (!db_.open()) {
        // A refused listener is the reason, not the driver's words for the failed connect.
        if (const Status refused = peers.refusal(); !refused)
            return failed(OpenFailure::Other, refused.reason());
        const QString reason = errorText(db_.lastError());
        return failed(classifyOpenFailure(reason, clock.elapsed()), reason);
    }
    stallGuard_.findSocket(port);
    return Succeeded(OpenFailure::None);
}

Status DbConnection::openNative(const QString& host, int port, const QString& database,
                                const QString& user, const QString& password,
                                const QString& ownerAccount) {
    if (!db_.isValid())
        return fail(QStringLiteral("open"), QStringLiteral("the Qt SQL driver is not available"));
    db_.setHostName(host);
    db_.setPort(port);
    db_.setDatabaseName(database);
    db_.setUserName(user);
    db_.setPassword(password);
    db_.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kLoginTimeoutSeconds));
    const platform::PeerCheck peers = CheckPeersOn(portOrDefault(port), ownerAccount);
    if (!db_.open()) {
        if (const Status refused = peers.refusal(); !refused)
            return fail(QStringLiteral("open"), refused.reason());
        return fail(QStringLiteral("open"), errorText(db_.lastError()));
    }
    return {};
}

Status DbConnection::execute(const QString& statement, const QVariantList& parameters, Rows rows,
                             int timeoutSeconds) {
    const int timeout =
        timeoutSeconds > 0 ? std::min(timeoutSeconds, queryTimeoutSeconds_) : queryTimeoutSeconds_;
    if (!db_.isOpen())
        return fail(QStringLiteral("execute"), QStringLiteral("the connection is not open"));
    setCancellable(nullptr); // the previous statement's handle goes with it
    if (isCancelled())
        return fail(QStringLiteral("execute"), kCancelled);
    setRowsMode(rows);
    odbcRows_.reset();
    rowsFailure_.clear();
    query_ = std::make_unique<QSqlQuery>(db_);
    query_->setForwardOnly(true);
    if (!query_->prepare(statement))
        return fail(QStringLiteral("prepare"), errorText(query_->lastError()));
    const QVariant handle = query_->result()->handle();
    const bool odbc = db_.driverName() == QLatin1String("QODBC") && handle.isValid() &&
                      handle.data() && *static_cast<void* const*>(handle.constData());
    if (odbc) {
        setCancellable(*static_cast<SQLHSTMT const*>(handle.constData()));
        // A cancel that came while the statement was prepared has found nothing to cancel yet.
        if (isCancelled())
            return fail(QStringLiteral("execute"), kCancelled);
        SQLSetStmtAttr(*static_cast<SQLHSTMT const*>(handle.constData()), SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(SQLULEN(timeout)), 0);
    } else {
        QSqlQuery(db_).exec(QStringLiteral("SET statement_timeout = %1").arg(timeout * 1000));
    }
    for (const QVariant& parameter : parameters)
        query_->addBindValue(parameter);
    const StallScope waiting(stallGuard_);
    if (!query_->exec())
        return fail(QStringLiteral("execute"),
                    isCancelled() ? kCancelled : errorText(query_->lastError()));
    if (odbc)
        odbcRows_ = std::make_unique<OdbcRows>(*static_cast<SQLHSTMT const*>(handle.constData()));
    return {};
}

bool DbConnection::next() {
    rowBytes_.clear();
    const StallScope waiting(stallGuard_);
    if (odbcRows_) {
        if (odbcRows_->fetch())
            return true;
        if (const Status walked = odbcRows_->status(); !walked)
            rowsFailure_ = fail(QStringLiteral("fetch"), walked.reason()).reason();
        return false;
    }
    if (!query_)
        return false;
    if (query_->next())
        return true;
    if (query_->lastError().isValid())
        rowsFailure_ = fail(QStringLiteral("fetch"), errorText(query_->lastError())).reason();
    return false;
}

Status DbConnection::endOfRows() const {
    if (!rowsFailure_.isEmpty())
        return Status::failure(rowsFailure_);
    if (odbcRows_)
        return odbcRows_->status();
    return {};
}

DbValue DbConnection::value(int column) {
    if (odbcRows_)
        return odbcRows_->value(column);
    const QVariant variant = query_ ? query_->value(column) : QVariant();
    if (variant.isNull() || column < 0)
        return {};
    // Each column of the row keeps its own bytes, so a value read earlier stays valid.
    if (rowBytes_.size() <= size_t(column))
        rowBytes_.resize(size_t(column) + 1);
    rowBytes_[size_t(column)] = variant.toString().toUtf8();
    DbValue value;
    value.kind = DbValue::Kind::Bytes;
    value.bytes = rowBytes_[size_t(column)];
    return value;
}

std::optional<QByteArray> DbConnection::valueAsText(int column) {
    if (odbcRows_)
        return odbcRows_->valueAsText(column);
    const DbValue read = value(column);
    return read.kind == DbValue::Kind::Bytes ? std::optional<QByteArray>(read.bytes.toByteArray())
                                             : std::nullopt;
}

std::optional<QString> DbConnection::text(int column) {
    return TextOf(value(column));
}

std::optional<QString> DbConnection::TextOf(const DbValue& read) {
    switch (read.kind) {
    case DbValue::Kind::Null:
    case DbValue::Kind::Failed:
        return std::nullopt;
    case DbValue::Kind::Bytes:
        return QString::fromUtf8(read.bytes);
    case DbValue::Kind::Timestamp:
        break;
    }
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(read.year, 4, 10, QLatin1Char('0'))
        .arg(read.month, 2, 10, QLatin1Char('0'))
        .arg(read.day, 2, 10, QLatin1Char('0'))
        .arg(read.hour, 2, 10, QLatin1Char('0'))
        .arg(read.minute, 2, 10, QLatin1Char('0'))
        .arg(read.second, 2, 10, QLatin1Char('0'));
}

int DbConnection::recordCount() const {
    if (odbcRows_) {
        // psqlODBC knows the count of a result it has read whole; -1 while it reads in batches.
        const QVariant handle = query_->result()->handle();
        SQLLEN count = -1;
        if (!SQL_SUCCEEDED(SQLRowCount(*static_cast<SQLHSTMT const*>(handle.constData()), &count)))
            return -1;
        return count >= 0 && count <= std::numeric_limits<int>::max() ? int(count) : -1;
    }
    return query_ ? query_->size() : -1;
}

void DbConnection::close() {
    setCancellable(nullptr);
    odbcRows_.reset();
    query_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
}

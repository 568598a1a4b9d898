#include "dbconnection.h"

#include "connectionstring.h"
#include "dblog.h"

#include <QSqlError>
#include <QSqlResult>

#include <atomic>

namespace {

QString uniqueConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("linetally-%1").arg(++counter);
}

constexpr auto kLoginTimeout = "SQL_ATTR_LOGIN_TIMEOUT=15";

} // namespace

Q_LOGGING_CATEGORY(lcDb, "linetally.db", QtWarningMsg)

DbConnection::DbConnection(const QString& qtDriver) : name_(uniqueConnectionName()) {
    db_ = QSqlDatabase::addDatabase(qtDriver, name_);
}

DbConnection::~DbConnection() {
    close();
}

void DbConnection::fail(const QString& where, const QString& message) {
    lastError_ = message;
    qCDebug(lcDb) << where << "failed:" << message;
}

bool DbConnection::open(const QString& connectionString) {
    if (!db_.isValid()) {
        fail(QStringLiteral("open"), QStringLiteral("the Qt SQL driver is not available"));
        return false;
    }
    db_.setDatabaseName(NormalizeConnectionString(connectionString));
    db_.setConnectOptions(QString::fromLatin1(kLoginTimeout));
    if (!db_.open()) {
        fail(QStringLiteral("open"), db_.lastError().text());
        return false;
    }
    return true;
}

bool DbConnection::openNative(const QString& host, int port, const QString& database,
                              const QString& user, const QString& password) {
    if (!db_.isValid()) {
        fail(QStringLiteral("open"), QStringLiteral("the Qt SQL driver is not available"));
        return false;
    }
    db_.setHostName(host);
    db_.setPort(port);
    db_.setDatabaseName(database);
    db_.setUserName(user);
    db_.setPassword(password);
    db_.setConnectOptions(QStringLiteral("connect_timeout=15"));
    if (!db_.open()) {
        fail(QStringLiteral("open"), db_.lastError().text());
        return false;
    }
    return true;
}

bool DbConnection::execute(const QString& statement, const QVariantList& parameters) {
    if (!db_.isOpen()) {
        fail(QStringLiteral("execute"), QStringLiteral("the connection is not open"));
        return false;
    }
    query_ = std::make_unique<QSqlQuery>(db_);
    query_->setForwardOnly(true);
    if (!query_->prepare(statement)) {
        fail(QStringLiteral("prepare"), query_->lastError().text());
        return false;
    }
    for (const QVariant& parameter : parameters)
        query_->addBindValue(parameter);
    if (!query_->exec()) {
        fail(QStringLiteral("execute"), query_->lastError().text());
        return false;
    }
    const QVariant handle = query_->result()->handle();
    if (db_.driverName() == QLatin1String("QODBC") && handle.isValid() && handle.data())
        odbcRows_ = std::make_unique<OdbcRows>(*static_cast<void* const*>(handle.constData()));
    return true;
}

bool DbConnection::next() {
    if (odbcRows_) {
        if (odbcRows_->fetch())
            return true;
        if (!odbcRows_->error().isEmpty())
            fail(QStringLiteral("fetch"), odbcRows_->error());
        return false;
    }
    if (!query_)
        return false;
    if (query_->next())
        return true;
    if (query_->lastError().isValid())
        fail(QStringLiteral("fetch"), query_->lastError().text());
    return false;
}

std::optional<QString> DbConnection::text(int column) {
    if (odbcRows_)
        return odbcRows_->text(column);
    const QVariant value = query_ ? query_->value(column) : QVariant();
    return value.isNull() ? std::nullopt : std::optional<QString>(value.toString());
}

int DbConnection::recordCount() const {
    return query_ ? query_->size() : -1;
}

void DbConnection::close() {
    odbcRows_.reset();
    query_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
}

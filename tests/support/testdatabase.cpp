#include "testdatabase.h"

#include "config.h"
#include "serveraddress.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtGlobal>

namespace TestDatabase {

namespace {

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

// A session of the superuser in the database, under the connection name; not opened yet.
QSqlDatabase superuserSession(const QString& name, const QString& database) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(port());
    db.setDatabaseName(database);
    db.setUserName(env("LINETALLY_TEST_SUPERUSER"));
    db.setPassword(env("LINETALLY_TEST_SUPERPASSWORD"));
    return db;
}

QSqlDatabase superConnection() {
    const QString name = QStringLiteral("testdatabase-super");
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen()) {
            QSqlQuery ping(db);
            if (ping.exec(QStringLiteral("SELECT 1")))
                return db;
            db.close();
        }
        db.open();
        return db;
    }
    QSqlDatabase db = superuserSession(name, QStringLiteral("phonesystem"));
    db.open();
    return db;
}

bool pgCtl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList all{QStringLiteral("-u"), QStringLiteral("postgres"),
                    QStringLiteral("--"), env("LINETALLY_TEST_PGBIN") + QStringLiteral("/pg_ctl"),
                    QStringLiteral("-D"), env("LINETALLY_TEST_PGDATA")};
    all += arguments;
    process.start(QStringLiteral("runuser"), all);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        qWarning() << "pg_ctl" << arguments << "failed:" << process.readAll();
        return false;
    }
    return true;
}

} // namespace

bool available() {
    return !env("LINETALLY_TEST_PGDATA").isEmpty();
}

QString unavailableReason() {
    return QStringLiteral("This test needs the phone system database: run it through "
                          "scripts/with-test-database (scripts/test does).");
}

QString user() {
    return env("LINETALLY_TEST_USER");
}
QString password() {
    return env("LINETALLY_TEST_PASSWORD");
}

bool exec(const QString& sql) {
    QSqlDatabase db = superConnection();
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        qWarning() << "set-up statement failed:" << sql << query.lastError().text();
        return false;
    }
    return true;
}

bool execAll(const QStringList& statements) {
    for (const QString& sql : statements) {
        if (!exec(sql))
            return false;
    }
    return true;
}

QString scalar(const QString& sql) {
    QSqlQuery query(superConnection());
    if (!query.exec(sql) || !query.next())
        return QStringLiteral("<failed: %1>").arg(query.lastError().text());
    return query.value(0).toString();
}

bool resetTables() {
    return execAll({
        QStringLiteral("DROP TABLE IF EXISTS public.calldetails, public.dnallocation, "
                       "public.callhistory2"),
        QStringLiteral(
            "CREATE TABLE public.calldetails (id serial PRIMARY KEY, callid text, info text)"),
        QStringLiteral("CREATE TABLE public.dnallocation (id serial PRIMARY KEY, value text, "
                       "kind integer NOT NULL)"),
        QStringLiteral("CREATE TABLE public.callhistory2 (id serial PRIMARY KEY, from_no text, "
                       "to_no text, dur interval, starttime timestamp)"),
        QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1, admin").arg(user()),
    });
}

bool insertCall(const QString& from, const QString& to, const QString& duration,
                const QString& start) {
    QSqlQuery query(superConnection());
    query.prepare(QStringLiteral("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
                                 "VALUES (?, ?, ?::interval, ?::timestamp)"));
    query.addBindValue(from.isNull() ? QVariant() : QVariant(from));
    query.addBindValue(to.isNull() ? QVariant() : QVariant(to));
    query.addBindValue(duration.isNull() ? QVariant() : QVariant(duration));
    query.addBindValue(start.isNull() ? QVariant() : QVariant(start));
    if (!query.exec()) {
        qWarning() << "insert failed:" << query.lastError().text();
        return false;
    }
    return true;
}

bool stopServer() {
    if (QSqlDatabase::contains(QStringLiteral("testdatabase-super")))
        QSqlDatabase::database(QStringLiteral("testdatabase-super"), false).close();
    return pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                  QStringLiteral("stop")});
}

bool startServer() {
    return startServerOnPort(port());
}

bool startServerOnPort(int listenPort) {
    return pgCtl(
        {QStringLiteral("-l"), env("LINETALLY_TEST_PGDATA") + QStringLiteral("/../server.log"),
         QStringLiteral("-o"), QStringLiteral("-p %1").arg(listenPort), QStringLiteral("-w"),
         QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
}

int port() {
    bool ok = false;
    const int given = env("LINETALLY_TEST_PORT").toInt(&ok);
    return ok ? given : dbRoutines::kDefaultDbPort;
}

void storeCredentials(const QString& userName, const QString& pass) {
    config::ClearConfig();
    config::SetConfig(QStringLiteral("dbuser"), userName);
    config::SetConfig(QStringLiteral("dbpass"), pass);
    if (port() != dbRoutines::kDefaultDbPort)
        config::SetConfig(QString::fromLatin1(dbRoutines::kDbPortName), QString::number(port()));
}

TableLock::TableLock(const QString& table)
    : name_(QStringLiteral("table-lock-%1").arg(quintptr(this))) {
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    holder.setHostName(QStringLiteral("127.0.0.1"));
    holder.setPort(port());
    holder.setDatabaseName(QStringLiteral("phonesystem"));
    holder.setUserName(env("LINETALLY_TEST_SUPERUSER"));
    holder.setPassword(env("LINETALLY_TEST_SUPERPASSWORD"));
    held_ =
        holder.open() && holder.transaction() &&
        QSqlQuery(holder).exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
}

void TableLock::release() {
    if (name_.isEmpty())
        return;
    {
        QSqlDatabase holder = QSqlDatabase::database(name_, false);
        if (holder.isOpen())
            holder.rollback();
        holder.close();
    }
    QSqlDatabase::removeDatabase(name_);
    name_.clear();
    held_ = false;
}

namespace {

// Statements on the server's "postgres" database, for what cannot run inside "phonesystem".
bool execOutside(const QStringList& statements) {
    const QString name = QStringLiteral("testdatabase-outside");
    bool done = true;
    {
        // Renaming a database needs it free of sessions: the set-up session leaves it too.
        if (QSqlDatabase::contains(QStringLiteral("testdatabase-super")))
            QSqlDatabase::database(QStringLiteral("testdatabase-super"), false).close();
        QSqlDatabase db = superuserSession(name, QStringLiteral("postgres"));
        done = db.open();
        for (const QString& sql : statements) {
            QSqlQuery query(db);
            if (done && !query.exec(sql)) {
                qWarning() << "set-up statement failed:" << sql << query.lastError().text();
                done = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

} // namespace

UncheckedTextDatabase::UncheckedTextDatabase() {
    putAside_ =
        execOutside({QStringLiteral("ALTER DATABASE phonesystem RENAME TO phonesystem_put_aside")});
    ready_ = putAside_ &&
             execOutside({QStringLiteral("CREATE DATABASE phonesystem ENCODING 'SQL_ASCII' "
                                         "LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0")}) &&
             resetTables();
}

UncheckedTextDatabase::~UncheckedTextDatabase() {
    if (!putAside_)
        return;
    (void)execOutside({
        QStringLiteral("DROP DATABASE IF EXISTS phonesystem WITH (FORCE)"),
        QStringLiteral("ALTER DATABASE phonesystem_put_aside RENAME TO phonesystem"),
    });
}

} // namespace TestDatabase

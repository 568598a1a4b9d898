#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The phone system database that scripts/with-test-database started for the test run: set-up
// statements as the superuser, the login role's credentials, and stopping and starting the
// server. Tests that use it fail with a clear message when it is not there.
namespace TestDatabase {

bool available();
QString unavailableReason();

QString user();
QString password();

// Runs statements in "phonesystem" as the superuser; false (and a warning) on failure.
bool exec(const QString& sql);
bool execAll(const QStringList& statements);
// A single value of a query, as text.
QString scalar(const QString& sql);

// Empties the three tables and restores their usual column types.
bool resetTables();
bool insertCall(const QString& from, const QString& to, const QString& duration,
                const QString& start);

bool stopServer();
bool startServer();
// Starts it listening on another port of 127.0.0.1 instead; startServer() moves it back.
bool startServerOnPort(int port);
// The port the server listens on: LINETALLY_TEST_PORT, 5480 without it.
int port();

// Writes a local.cfg with the login role's credentials into the folder.
void storeCredentials(const QString& user, const QString& password);

// Another session holding a table with ACCESS EXCLUSIVE, until release() or the end of scope.
class TableLock {
public:
    explicit TableLock(const QString& table);
    ~TableLock() { release(); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    bool held() const { return held_; }
    void release();

private:
    QString name_;
    bool held_ = false;
};

// For its lifetime, "phonesystem" is a new, empty database that keeps text unchecked
// (SQL_ASCII), so that a test can store bytes that are not UTF-8; the usual one is put aside
// under another name and comes back at the end of scope.
class UncheckedTextDatabase {
public:
    UncheckedTextDatabase();
    ~UncheckedTextDatabase();
    UncheckedTextDatabase(const UncheckedTextDatabase&) = delete;
    UncheckedTextDatabase& operator=(const UncheckedTextDatabase&) = delete;

    bool ready() const { return ready_; }

private:
    bool putAside_ = false;
    bool ready_ = false;
};

} // namespace TestDatabase

#define REQUIRE_TEST_DATABASE()                                                                    \
    do {                                                                                           \
        if (!TestDatabase::available())                                                            \
            QFAIL(qPrintable(TestDatabase::unavailableReason()));                                  \
    } while (false)

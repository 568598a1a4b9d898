#include "config.h"
#include "dbconnection.h"
#include "pgrows.h"
#include "testdatabase.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

// Another user's program that listens on the database's port while the database is down, and
// asks whoever connects for the password in clear text. Nothing may reach it, however its
// listening is timed against the program's connection attempts.
class TestImpostorListener : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void nothingReachesIt_data();
    void nothingReachesIt();
    void serviceAccountFromSettings_data();
    void serviceAccountFromSettings();
};

void TestImpostorListener::initTestCase() {
    REQUIRE_TEST_DATABASE();
}

void TestImpostorListener::nothingReachesIt_data() {
    // The ODBC driver, Qt's PostgreSQL driver, or PostgreSQL's library as the terminal's
    // reports read through it.
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("account");
    QTest::addColumn<int>("openMs"); // 0: it listens all the time
    QTest::addColumn<int>("closedMs");
    QTest::addColumn<int>("attempts");
    QTest::newRow("nobody, listening 3 ms of every 6") << "odbc"
                                                       << "nobody" << 3 << 3 << 120;
    QTest::newRow("nobody, listening 1 ms of every 3") << "odbc"
                                                       << "nobody" << 1 << 2 << 120;
    QTest::newRow("daemon, listening 3 ms of every 6") << "odbc"
                                                       << "daemon" << 3 << 3 << 120;
    QTest::newRow("daemon, listening all the time") << "odbc"
                                                    << "daemon" << 0 << 0 << 10;
    QTest::newRow("nobody, listening all the time") << "odbc"
                                                    << "nobody" << 0 << 0 << 10;
    QTest::newRow("native, nobody, listening 1 ms of every 3") << "native"
                                                               << "nobody" << 1 << 2 << 120;
    QTest::newRow("native, daemon, listening all the time") << "native"
                                                            << "daemon" << 0 << 0 << 10;
    QTest::newRow("reports, nobody, listening 1 ms of every 3") << "reports"
                                                                << "nobody" << 1 << 2 << 120;
    QTest::newRow("reports, daemon, listening all the time") << "reports"
                                                             << "daemon" << 0 << 0 << 10;
}

void TestImpostorListener::nothingReachesIt() {
    QFETCH(QString, route);
    QFETCH(QString, account);
    QFETCH(int, openMs);
    QFETCH(int, closedMs);
    QFETCH(int, attempts);
    if (::geteuid() != 0)
        QSKIP("a listener of another user needs root to start");
    const passwd* owner = ::getpwnam(account.toLocal8Bit().constData());
    if (!owner)
        QSKIP(qPrintable("this system has no account " + account));
    const uid_t uid = owner->pw_uid;
    const gid_t gid = owner->pw_gid;

    // The checkout may sit in a folder the other user cannot enter.
    QTemporaryDir stage(QDir::tempPath() + "/linetally-impostor-XXXXXX");
    QVERIFY(stage.isValid());
    QVERIFY(QFile::setPermissions(
        stage.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const QString program = stage.filePath("togglelistener");
    QVERIFY(QFile::copy(TOGGLELISTENER, program));

    QVERIFY(TestDatabase::stopServer());
    QProcess impostor;
    const auto restore = qScopeGuard([&] {
        impostor.kill();
        impostor.waitForFinished();
        TestDatabase::startServer();
    });
    impostor.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(3);
    });
    impostor.start(program, {"5480", QString::number(openMs), QString::number(closedMs)});
    QByteArray said;
    const bool listening = QTest::qWaitFor(
        [&] {
            said += impostor.readAllStandardOutput();
            return said.contains("listening\n") || impostor.state() == QProcess::NotRunning;
        },
        30000);
    if (!said.contains("listening\n"))
        QFAIL(qPrintable(QStringLiteral("the listener of %1 did not start (%2): %3")
                             .arg(account, listening ? "it ended" : "no word in 30 s",
                                  QString::fromLocal8Bit(impostor.readAllStandardError()))));

    const QString named = QStringLiteral("a program of the user %1 (uid %2)").arg(account).arg(uid);
    int refusedNamingIt = 0;
    int refusedUnknown = 0; // reached while the listener closed, before its owner was read
    // At least the row's attempts, and more until one has met the listener (its timing may
    // keep missing the attempts' for a while).
    int attempt = 0;
    for (; attempt < attempts || (refusedNamingIt + refusedUnknown == 0 && attempt < 10 * attempts);
         ++attempt) {
        const QString password = QStringLiteral("stolen-%1").arg(attempt);
        const bool native = route == "native";
        DbConnection connection(native ? QStringLiteral("QPSQL") : QStringLiteral("QODBC"));
        PgRows reports;
        ConnectionSettings settings{
            {}, Succeeded(5480), TestDatabase::user(), password, config::DatabaseOwnerAccount()};
        const Status opened =
            route == "reports" ? reports.open(settings)
            : native
                ? connection.openNative("127.0.0.1", 5480, "phonesystem", TestDatabase::user(),
                                        password, config::DatabaseOwnerAccount())
                : connection.open(QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;"
                                                 "PORT=5480;Database=phonesystem;UID=%1;PWD=%2")
                                      .arg(TestDatabase::user(), password),
                                  config::DatabaseOwnerAccount());
        QVERIFY(!opened);
        if (opened.reason().contains(named))
            ++refusedNamingIt;
        else if (opened.reason().contains("could not be identified"))
            ++refusedUnknown;
        said += impostor.readAllStandardOutput();
    }
    impostor.closeWriteChannel();
    QVERIFY(impostor.waitForFinished(30000));
    said += impostor.readAllStandardOutput();

    const int captured = int(said.count("password "));
    qInfo("%d of %d attempts gave the password to the listener of %s; %d were refused naming it, "
          "%d as unknown",
          captured, attempt, qPrintable(account), refusedNamingIt, refusedUnknown);
    QCOMPARE(captured, 0);
    // Not a byte, not even the user name of the login.
    QCOMPARE(said.count("received "), 0);
    // The listener was reached at all.
    QVERIFY(refusedNamingIt + refusedUnknown > 0);
    if (openMs == 0)
        QCOMPARE(refusedNamingIt, attempt);
}

// The database itself runs as postgres: it gets the password unless the settings name another
// account as the database's.
void TestImpostorListener::serviceAccountFromSettings_data() {
    QTest::addColumn<QString>("owner"); // the DBOWNER setting
    QTest::addColumn<bool>("given");
    QTest::newRow("not set") << "" << true;
    QTest::newRow("postgres") << "postgres" << true;
    QTest::newRow("another account") << "daemon" << false;
    QTest::newRow("an account that does not exist") << "no-such-account" << false;
}

void TestImpostorListener::serviceAccountFromSettings() {
    QFETCH(QString, owner);
    QFETCH(bool, given);
    if (::getpwnam("postgres") && ::getpwnam("postgres")->pw_uid == ::geteuid())
        QSKIP("the test runs as the database's own account");
    config::SetConfig("DBOWNER", owner);
    const auto unset = qScopeGuard([] { config::SetConfig("DBOWNER", QString()); });
    DbConnection connection;
    const Status opened =
        connection.open(QStringLiteral("Driver={PostgreSQL Unicode};Server=127.0.0.1;PORT=5480;"
                                       "Database=phonesystem;UID=%1;PWD=%2")
                            .arg(TestDatabase::user(), TestDatabase::password()),
                        config::DatabaseOwnerAccount());
    QCOMPARE(opened.ok(), given);
    if (!given)
        QVERIFY2(opened.reason().contains("held by a program of the user postgres"),
                 qPrintable(opened.reason()));
}

QTEST_GUILESS_MAIN(TestImpostorListener)
#include "tst_impostorlistener.moc"

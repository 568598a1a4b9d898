#include "config.h"
#include "dbroutines.h"
#include "otheruser.h"
#include "testdatabase.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace dbRoutines;

class TestDbRoutines : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void connectionStrings_data();
    void connectionStrings();
    void portInConnectionString_data();
    void portInConnectionString();
    void connectionFromGivenSettings();
    void driverChoice_data();
    void driverChoice();
    void failedProbeKeepsDriver();
    void driverFoundOnce();
    void probeFailures_data();
    void probeFailures();
    void serverDown();
    void silentServerTimesOut();
    void credentialsWithSeparatorsLogIn();
    void lockedProbeTableGivesUp();
    void impostorGetsNoPassword_data();
    void impostorGetsNoPassword();
    void extensionList_data();
    void extensionList();
    void extensionListCap();

private:
    void registerDrivers(const QStringList& names);
    QTemporaryDir odbcDir;
};

void TestDbRoutines::initTestCase() {
    REQUIRE_TEST_DATABASE();
    QVERIFY(odbcDir.isValid());
}

void TestDbRoutines::init() {
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    qunsetenv("ODBCSYSINI");
    QVERIFY(TestDatabase::resetTables());
}

void TestDbRoutines::cleanupTestCase() {
    qunsetenv("ODBCSYSINI");
}

// Points unixODBC at an odbcinst.ini that registers only the given driver names.
void TestDbRoutines::registerDrivers(const QStringList& names) {
    QFile ini(odbcDir.filePath("odbcinst.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& name : names) {
        const QString library = name.contains("ANSI") ? "psqlodbca.so" : "psqlodbcw.so";
        ini.write(QStringLiteral("[%1]\nDriver=%2\n\n").arg(name, library).toUtf8());
    }
    ini.close();
    qputenv("ODBCSYSINI", QFile::encodeName(odbcDir.path()));
}

void TestDbRoutines::connectionStrings_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("working");
    QTest::addColumn<QString>("probe");
    QTest::newRow("admin") << "admin"
                           << "pw"
                           << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; "
                              "Database=phonesystem; UID=admin; PWD=pw"
                           << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; "
                              "Database=phonesystem; UID=admin; PWD=pw;A7=50;A8=8192;"
                              "USEDECLAREFETCH =1";
    QTest::newRow("empty credentials")
        << ""
        << ""
        << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; Database=phonesystem; UID=; "
           "PWD="
        << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; Database=phonesystem; UID=; "
           "PWD=;A7=50;A8=8192;USEDECLAREFETCH =1";
    QTest::newRow("separators quoted")
        << "a;b"
        << "x}"
        << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; Database=phonesystem; "
           "UID={a;b}; PWD={x}}}"
        << "Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=5480; Database=phonesystem; "
           "UID={a;b}; PWD={x}}};A7=50;A8=8192;USEDECLAREFETCH =1";
}

void TestDbRoutines::connectionStrings() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, working);
    QFETCH(QString, probe);
    config::ClearConfig();
    config::SetConfig("dbuser", user);
    config::SetConfig("dbpass", password);
    QCOMPARE(WorkingConnectionString(kUnicodeDriver), working);
    QCOMPARE(ProbeConnectionString(kUnicodeDriver), probe);
}

void TestDbRoutines::portInConnectionString_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("port");
    QTest::newRow("none: the usual port") << "" << true << 5480;
    QTest::newRow("a tunnel's port") << "5481" << true << 5481;
    QTest::newRow("blanks around") << " 6000 " << true << 6000;
    QTest::newRow("highest") << "65535" << true << 65535;
    QTest::newRow("zero") << "0" << false << 5480;
    QTest::newRow("too high") << "65536" << false << 5480;
    QTest::newRow("negative") << "-1" << false << 5480;
    QTest::newRow("not a number") << "54x0" << false << 5480;
    QTest::newRow("a second setting in it") << "5481;Server=10.0.0.9" << false << 5480;
}

// The string names the port the settings ask for, and a DBPORT that is no port stops the probe
// before any password is sent.
void TestDbRoutines::portInConnectionString() {
    QFETCH(QString, setting);
    QFETCH(bool, valid);
    QFETCH(int, port);
    config::ClearConfig();
    config::SetConfig("dbuser", "admin");
    config::SetConfig("dbpass", "pw");
    config::SetConfig("dbport", setting);
    QCOMPARE(WorkingConnectionString(kUnicodeDriver),
             QString("Driver={PostgreSQL Unicode}; Server=127.0.0.1; PORT=%1; "
                     "Database=phonesystem; UID=admin; PWD=pw")
                 .arg(port));
    QCOMPARE(DatabasePort().ok(), valid);
    if (!valid) {
        const Result<QString> found = FindDriver();
        QVERIFY(!found.ok());
        QVERIFY2(found.reason().contains("DBPORT") && found.reason().contains(setting),
                 qPrintable(found.reason()));
    }
}

// A connection can be made from settings of its own, whatever the program's say.
void TestDbRoutines::connectionFromGivenSettings() {
    config::ClearConfig();
    config::SetConfig("dbuser", "program");
    config::SetConfig("dbport", "7000");
    config::Settings own;
    QCOMPARE(own.loadFromBytes("DBUSER=u\r\nDBPASS=p\r\nDBPORT=5481\r\nDBOWNER=pg\r\n"), 0);
    const ConnectionSettings settings = ConnectionSettingsOf(own, kPlainDriver);
    QCOMPARE(settings.driverClause, kPlainDriver);
    QCOMPARE(settings.port.value, 5481);
    QCOMPARE(settings.user, QStringLiteral("u"));
    QCOMPARE(settings.password, QStringLiteral("p"));
    QCOMPARE(settings.ownerAccount, QStringLiteral("pg"));
    QCOMPARE(CurrentConnectionSettings().port.value, 7000);
    QCOMPARE(ConnectionSettingsOf(config::Settings(), kPlainDriver).port.value, kDefaultDbPort);
}

void TestDbRoutines::driverChoice_data() {
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("driver");
    QTest::newRow("both variants")
        << QStringList{"PostgreSQL ANSI", "PostgreSQL Unicode"} << true << kUnicodeDriver;
    QTest::newRow("only ANSI") << QStringList{"PostgreSQL ANSI"} << true << kAnsiDriver;
    QTest::newRow("plain name") << QStringList{"PostgreSQL"} << true << kPlainDriver;
    QTest::newRow("none") << QStringList{} << false << QString("unchanged");
}

void TestDbRoutines::driverChoice() {
    QFETCH(QStringList, registered);
    QFETCH(bool, found);
    QFETCH(QString, driver);
    registerDrivers(registered);
    QProcess probe;
    probe.start(DRIVERPROBE, {TestDatabase::user(), TestDatabase::password()});
    QVERIFY(probe.waitForFinished(120000));
    qunsetenv("ODBCSYSINI");
    QCOMPARE(probe.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n');
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines[0], found ? QStringLiteral("found") : QStringLiteral("not found"));
    QCOMPARE(lines[1], driver);
}

void TestDbRoutines::failedProbeKeepsDriver() {
    DbDriver.clear();
    QVERIFY(FindDriver().ok());
    QCOMPARE(DbDriver, kUnicodeDriver);
    config::SetConfig("dbpass", "wrong");
    QVERIFY(!FindDriver().ok());
    QCOMPARE(DbDriver, kUnicodeDriver);
}

// Whoever asks first finds the driver; later askers get it without a probe, and a probe that
// ends after another found one does not replace it.
void TestDbRoutines::driverFoundOnce() {
    DbDriver.clear();
    config::SetConfig("dbpass", "wrong");
    const Result<QString> refused = FindDriverOnce();
    QVERIFY(!refused.ok());
    QCOMPARE(DbDriver, QString());
    KeepFirstDriver(refused);
    QCOMPARE(DbDriver, QString());
    KeepFirstDriver(Succeeded(kAnsiDriver));
    KeepFirstDriver(Succeeded(kPlainDriver));
    QCOMPARE(DbDriver, kAnsiDriver);
    const Result<QString> known = FindDriverOnce();
    QVERIFY(known.ok());
    QCOMPARE(known.value, kAnsiDriver);
    DbDriver.clear();
}

void TestDbRoutines::probeFailures_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("setup");
    QTest::newRow("wrong password") << TestDatabase::user() << "wrong"
                                    << "";
    QTest::newRow("unknown user") << "nobody"
                                  << "x"
                                  << "";
    QTest::newRow("empty credentials") << ""
                                       << ""
                                       << "";
    QTest::newRow("calldetails missing")
        << TestDatabase::user() << TestDatabase::password() << "DROP TABLE public.calldetails";
}

void TestDbRoutines::probeFailures() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, setup);
    if (!setup.isEmpty())
        QVERIFY(TestDatabase::exec(setup));
    TestDatabase::storeCredentials(user, password);
    DbDriver.clear();
    QVERIFY(!FindDriver().ok());
    QCOMPARE(DbDriver, QString());
}

void TestDbRoutines::serverDown() {
    QVERIFY(TestDatabase::stopServer());
    DbDriver.clear();
    const bool found = FindDriver().ok();
    QVERIFY(TestDatabase::startServer());
    QVERIFY(!found);
    QCOMPARE(DbDriver, QString());
}

// A listener that accepts connections and never says a word: the probe gives up after one login
// timeout, since the other driver names would only wait for the same server again.
void TestDbRoutines::silentServerTimesOut() {
    QVERIFY(TestDatabase::stopServer());
    QTcpServer listener;
    const bool listening = listener.listen(QHostAddress::LocalHost, 5480);
    QTcpServer listener6;
    listener6.listen(QHostAddress::LocalHostIPv6, 5480);
    DbDriver.clear();
    QElapsedTimer clock;
    clock.start();
    const Result<QString> probed = listening ? FindDriver() : Succeeded(QString());
    const bool found = probed.ok();
    const qint64 elapsed = clock.elapsed();
    listener.close();
    listener6.close();
    QVERIFY(TestDatabase::startServer());
    QVERIFY(listening);
    QVERIFY(!found);
    qInfo("the probe gave up after %lld ms", elapsed);
    QVERIFY2(elapsed < 25000, qPrintable(QString::number(elapsed)));
    QVERIFY2(probed.reason().contains("timeout expired"), qPrintable(probed.reason()));
}

void TestDbRoutines::credentialsWithSeparatorsLogIn() {
    const QString password = "se;c=r{e}t }";
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD 'se;c=r{e}t }'"));
    TestDatabase::storeCredentials(TestDatabase::user(), password);
    const bool found = FindDriver().ok();
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " PASSWORD '" +
                               TestDatabase::password() + "'"));
    QVERIFY(found);
    // A smuggled option is part of the password, not a new key: the login fails.
    TestDatabase::storeCredentials(TestDatabase::user(),
                                   TestDatabase::password() + ";Server=127.0.0.2");
    QVERIFY(!FindDriver().ok());
}

// Another session holds the test query's table: the probe's statement gives up like its login
// does, and the other driver names are not tried against the same lock.
void TestDbRoutines::lockedProbeTableGivesUp() {
    TestDatabase::TableLock lock("public.calldetails");
    QVERIFY(lock.held());
    DbDriver.clear();
    QElapsedTimer clock;
    clock.start();
    const Result<QString> found = FindDriver();
    const qint64 elapsed = clock.elapsed();
    lock.release();
    QVERIFY(!found.ok());
    QVERIFY2(found.reason().contains("statement timeout"), qPrintable(found.reason()));
    qInfo("the probe gave up after %lld ms", elapsed);
    QVERIFY2(elapsed < 25000, qPrintable(QString::number(elapsed)));
}

void TestDbRoutines::impostorGetsNoPassword_data() {
    QTest::addColumn<bool>("ipv6");
    // Another user's listener on the IPv6 loopback, where "localhost" may lead, while the
    // database listens on 127.0.0.1: the probe goes to the database.
    QTest::newRow("[::1] while the database runs") << true;
    // Another user's listener on 127.0.0.1 while the database is down: nothing is sent.
    QTest::newRow("127.0.0.1 of another user") << false;
}

void TestDbRoutines::impostorGetsNoPassword() {
    QFETCH(bool, ipv6);
    if (::geteuid() != 0)
        QSKIP("a listener of another user needs root to start");
    if (!ipv6)
        QVERIFY(TestDatabase::stopServer());
    QProcess impostor;
    const auto restart = qScopeGuard([&] {
        impostor.kill();
        impostor.waitForFinished();
        if (!ipv6)
            TestDatabase::startServer();
    });
    QTcpServer ipv6Listener;
    if (ipv6) {
        QVERIFY(ipv6Listener.listen(QHostAddress::LocalHostIPv6, 5480));
    } else {
        // The listener runs as nobody, started directly so that killing it ends it.
        impostor.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
        });
        // A copy nobody can reach, wherever the build tree is.
        QTemporaryDir stage(QDir::tempPath() + "/linetally-listen-XXXXXX");
        const QString program = StagedForOtherUsers(QStringLiteral(LISTENPROBE), stage);
        QVERIFY2(!program.isEmpty(), "the listener could not be copied where nobody can run it");
        impostor.start(program, {"5480"});
        QVERIFY(impostor.waitForReadyRead(30000));
        QCOMPARE(impostor.readLine().trimmed(), "listening");
    }
    DbDriver.clear();
    const Result<QString> found = FindDriver();
    QCoreApplication::processEvents();
    if (ipv6) {
        QVERIFY2(found.ok(), qPrintable(found.reason()));
        QVERIFY(!ipv6Listener.hasPendingConnections());
    } else {
        QVERIFY(!found.ok());
        QVERIFY2(found.reason().contains("held by a program of the user nobody (uid 65534)"),
                 qPrintable(found.reason()));
        // The probe's connections were refused before the login sent anything on them. One
        // connection of the test's own, which says a word: once the impostor reports that, it
        // would have reported anything the probe sent before.
        QTcpSocket own;
        own.connectToHost(QHostAddress::LocalHost, 5480);
        QVERIFY(own.waitForConnected(30000));
        own.write("x");
        QByteArray said;
        QTRY_VERIFY((said += impostor.readAll()).contains("received"));
        QCOMPARE(said.count("received"), 1);
    }
}

void TestDbRoutines::extensionList_data() {
    QTest::addColumn<QStringList>("rows"); // value:kind, "NULL" for a NULL value
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("duplicates grouped")
        << QStringList{"100:1", "101:1", "101:1"} << QStringList{"100", "101"};
    QTest::newRow("other kinds left out")
        << QStringList{"100:1", "200:2", "300:0"} << QStringList{"100"};
    QTest::newRow("empty table") << QStringList{} << QStringList{};
    QTest::newRow("NULL skipped") << QStringList{"100:1", "NULL:1", "102:1"}
                                  << QStringList{"100", "102"};
    QTest::newRow("order as served")
        << QStringList{"20:1", "100:1", "3:1"} << QStringList{"100", "20", "3"};
}

void TestDbRoutines::extensionList() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, entries);
    for (const QString& row : rows) {
        const QStringList parts = row.split(':');
        const QString value = parts[0] == "NULL" ? "NULL" : "'" + parts[0] + "'";
        QVERIFY(TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES (" +
                                   value + ", " + parts[1] + ")"));
    }
    QVERIFY(FindDriver().ok());
    const Result<QStringList> listed = FillExtensionList();
    QVERIFY2(listed.ok(), qPrintable(listed.reason()));
    QCOMPARE(listed.value, entries);
}

void TestDbRoutines::extensionListCap() {
    QVERIFY(TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) SELECT "
                               "lpad(n::text, 6, '0'), 1 FROM generate_series(1, 32005) n"));
    QVERIFY(FindDriver().ok());
    const QStringList entries = FillExtensionList().value;
    QCOMPARE(entries.size(), kExtensionLimit);
    QCOMPARE(entries.last(), QStringLiteral("032000"));
}

QTEST_MAIN(TestDbRoutines)
#include "tst_dbroutines.moc"

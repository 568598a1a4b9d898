#include "calllistmodel.h"
#include "calltexts.h"
#include "config.h"
#include "dbconnection.h"
#include "dbroutines.h"
#include "dbworker.h"
#include "searchquery.h"
#include "testdatabase.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

#include <unistd.h>

using namespace dbRoutines;

Q_DECLARE_METATYPE(DbConnection::OpenFailure)

class TestSearchDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void listsTheDay_data();
    void listsTheDay();
    void emptyDay();
    void nullsShowEmptyCells();
    void injectionFindsNothing_data();
    void injectionFindsNothing();
    void integerColumns();
    void readsManyRowsWhole_data();
    void readsManyRowsWhole();
    void serverStoppedBeforeSearch();
    void lockedTableGivesUp();
    void workerCancelsWaitingStatement_data();
    void workerCancelsWaitingStatement();
    void searchKeepsTheSettingsItWasAskedWith();
    void openedAgainGoesOn();
    void openTellsWhatItRanInto_data();
    void openTellsWhatItRanInto();
    void nativeRouteKeepsEachValue();
    void zonedStartsFollowTheProgramsZone();
    void stalledServerGivesUp();
    void bothRoutesReadEachValueAlike_data();
    void bothRoutesReadEachValueAlike();
    void yearsAfter9999KeepTheirText();
    void firstRowsAtOnceReadEachCallOnce_data();
    void firstRowsAtOnceReadEachCallOnce();
    void copiedCallsReadAsTheCursorsDo();

private:
    QStringList listed(const CallListModel& list) const;
    bool search(const QString& direction, const QString& number, CallListModel& list,
                const QString& date = "3/1/2024");
};

void TestSearchDb::initTestCase() {
    REQUIRE_TEST_DATABASE();
}

void TestSearchDb::init() {
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(FindDriver().ok());
    const QStringList calls[] = {
        {"101", "5551234567", "00:05:30", "2024-03-01 09:00:00"},
        {"5550001111", "101", "00:01:00", "2024-03-01 15:15:42"},
        {"101", "102", "00:02:00", "2024-03-01 00:00:00"},
        {"101", "103", "00:05:00", "2024-03-01 23:58:30"},
        {"101", "104", "00:01:00", "2024-02-29 12:00:00"},
        {"102", "103", "00:01:00", "2024-03-01 12:00:00"},
    };
    for (const QStringList& c : calls)
        QVERIFY(TestDatabase::insertCall(c[0], c[1], c[2], c[3]));
}

namespace {

// What a route read of a call, each field apart.
QString everyField(const CallRecord& call) {
    const auto number = [](QByteArrayView read) {
        return read.isNull() ? QStringLiteral("<null>") : QString::fromUtf8(read);
    };
    return QStringList{number(call.callFrom),          number(call.callTo),
                       QString::number(call.start),    call.startText,
                       QString::number(call.duration), call.durationText}
        .join('|');
}

} // namespace

QStringList TestSearchDb::listed(const CallListModel& list) const {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i) {
        const CallRow& r = list.row(i);
        rows << QStringList{r.callFrom, r.callTo, r.startTime, r.duration}.join('|');
    }
    rows.sort();
    return rows;
}

bool TestSearchDb::search(const QString& direction, const QString& number, CallListModel& list,
                          const QString& date) {
    // As the window does: the old rows go, then what the search read is listed.
    list.clear();
    Result<CallRows> found = RunSearchQuery(BuildSearchQuery({direction, date, number}));
    list.appendRows(std::move(found.value));
    return found.ok();
}

void TestSearchDb::listsTheDay_data() {
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QStringList>("rows");
    const QString out = "101|5551234567|3/1/2024 9:00:00 AM|00:05:30";
    const QString in = "5550001111|101|3/1/2024 3:15:42 PM|00:01:00";
    const QString midnight = "101|102|3/1/2024|00:02:00";
    const QString late = "101|103|3/1/2024 11:58:30 PM|00:05:00";
    QTest::newRow("From") << "From" << QStringList{midnight, late, out};
    QTest::newRow("To") << "To" << QStringList{in};
    QTest::newRow("Both") << "Both" << QStringList{midnight, late, out, in};
}

void TestSearchDb::listsTheDay() {
    QFETCH(QString, direction);
    QFETCH(QStringList, rows);
    rows.sort();
    CallListModel list;
    QVERIFY(search(direction, "101", list));
    QCOMPARE(listed(list), rows);
}

void TestSearchDb::emptyDay() {
    CallListModel list;
    list.appendRows(CallsFromTexts({CallRow{"old", "row", "", ""}}));
    QVERIFY(search("Both", "101", list, "3/2/2024"));
    QCOMPARE(list.count(), 0);
}

void TestSearchDb::nullsShowEmptyCells() {
    QVERIFY(TestDatabase::insertCall("101", QString(), "00:01:00", "2024-03-01 11:00:00"));
    QVERIFY(TestDatabase::insertCall("101", "105", QString(), "2024-03-01 11:30:00"));
    CallListModel list;
    QVERIFY(search("From", "101", list));
    const QStringList rows = listed(list);
    QCOMPARE(rows.size(), 5);
    QVERIFY(rows.contains("101||3/1/2024 11:00:00 AM|00:01:00"));
    QVERIFY(rows.contains("101|105|3/1/2024 11:30:00 AM|"));
}

void TestSearchDb::injectionFindsNothing_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("or true") << "1 or 1=1";
    QTest::newRow("drop table") << "'; DROP TABLE public.callhistory2; --";
    QTest::newRow("quotes") << "101' OR '1'='1";
    QTest::newRow("backslashes") << "\\'\\\\";
    QTest::newRow("long") << QString(10000, u'7');
    QTest::newRow("non-Latin") << QString::fromUtf8("１０１ номер 號碼");
    QTest::newRow("number with blank") << "101 ";
}

void TestSearchDb::injectionFindsNothing() {
    QFETCH(QString, text);
    CallListModel list;
    search("Both", text, list);
    QCOMPARE(list.count(), 0);
    QCOMPARE(TestDatabase::scalar("SELECT count(*) FROM public.callhistory2"), QStringLiteral("6"));
}

void TestSearchDb::integerColumns() {
    QVERIFY(TestDatabase::execAll({
        "ALTER TABLE public.callhistory2 ALTER COLUMN from_no TYPE bigint USING from_no::bigint",
        "ALTER TABLE public.callhistory2 ALTER COLUMN to_no TYPE bigint USING to_no::bigint",
    }));
    CallListModel list;
    QVERIFY(search("To", "101", list));
    QCOMPARE(listed(list), QStringList{"5550001111|101|3/1/2024 3:15:42 PM|00:01:00"});
    QVERIFY(!search("From", "abc", list));
    QCOMPARE(list.count(), 0);
}

// The start held with its zone, the server in another zone than the program (UTC in the tests):
// a call at 23:30 UTC belongs to that day and hour, as the user's clock reads it.
void TestSearchDb::zonedStartsFollowTheProgramsZone() {
    QVERIFY(TestDatabase::execAll({
        "TRUNCATE public.callhistory2",
        "ALTER TABLE public.callhistory2 ALTER COLUMN starttime TYPE timestamptz",
        "ALTER ROLE " + TestDatabase::user() + " SET timezone = 'Pacific/Auckland'",
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101', '102', '00:01:00', '2024-03-01 23:30:00+00'), "
        "('101', '103', '00:01:00', '2024-03-02 00:30:00+00')",
    }));
    CallListModel list;
    const bool found = search("From", "101", list);
    QVERIFY(TestDatabase::exec("ALTER ROLE " + TestDatabase::user() + " RESET timezone"));
    QVERIFY(found);
    QCOMPARE(listed(list), QStringList{"101|102|3/1/2024 11:30:00 PM|00:01:00"});
}

// The server stops answering in the middle of a statement (its process is stopped, as a dropped
// tunnel would leave it): the call gives up after the client's own limit, shortened here from 75
// seconds to 3, however long the server's own timeout would take.
void TestSearchDb::stalledServerGivesUp() {
    if (::geteuid() != 0)
        QSKIP("stopping the server's process needs root");
    QProcess stopper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PGPASSWORD", qEnvironmentVariable("LINETALLY_TEST_SUPERPASSWORD"));
    stopper.setProcessEnvironment(env);
    // Waits for the statement, stops its server process, and lets it go on when told (or after
    // a minute at the latest).
    stopper.start("bash",
                  {"-c", QString("for i in $(seq 600); do pid=$(psql -X -Atq -h 127.0.0.1 "
                                 "-p 5480 -U %1 -d phonesystem -c \"SELECT pid FROM "
                                 "pg_stat_activity WHERE query LIKE 'SELECT pg_sleep(30)%%' "
                                 "AND pid <> pg_backend_pid()\"); [ -n \"$pid\" ] && "
                                 "break; sleep 0.05; done; kill -STOP $pid; echo stopped; "
                                 "read -t 60 _; kill -CONT $pid")
                             .arg(qEnvironmentVariable("LINETALLY_TEST_SUPERUSER"))});
    QVERIFY(stopper.waitForStarted());
    DbConnection connection(QStringLiteral("QODBC"), std::chrono::seconds(3));
    QVERIFY(connection.open(WorkingConnectionString(DbDriver), config::DatabaseOwnerAccount()));
    QElapsedTimer clock;
    clock.start();
    const Status result = connection.execute("SELECT pg_sleep(30)");
    const qint64 elapsed = clock.elapsed();
    stopper.write("\n");
    stopper.closeWriteChannel();
    QVERIFY(stopper.state() == QProcess::NotRunning || stopper.waitForFinished(70000));
    QVERIFY(stopper.readAllStandardOutput().contains("stopped"));
    QVERIFY(!result.ok());
    qInfo("gave up after %lld ms: %s", elapsed, qPrintable(result.reason()));
    QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
}

void TestSearchDb::readsManyRowsWhole_data() {
    QTest::addColumn<QString>("driver");
    QTest::newRow("Unicode") << kUnicodeDriver;
    QTest::newRow("ANSI") << kAnsiDriver;
}

// Several blocks of rows, with values longer than any bound buffer, characters outside the
// Basic Multilingual Plane, NULLs and fractions of seconds scattered through them.
void TestSearchDb::readsManyRowsWhole() {
    QFETCH(QString, driver);
    QVERIFY(TestDatabase::exec("TRUNCATE public.callhistory2"));
    const int calls = 700;
    QVERIFY(TestDatabase::exec(
        QStringLiteral(
            "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
            "SELECT CASE WHEN i % 50 = 0 THEN repeat('9', 300) "
            "            WHEN i % 7 = 0 THEN 'ext ' || i || ' \U0001F4DE номер' "
            "            WHEN i % 97 = 0 THEN NULL ELSE (5550000000 + i)::text END, "
            "       '101', "
            "       CASE WHEN i % 89 = 0 THEN NULL ELSE make_interval(secs => i) END, "
            "       timestamp '2024-03-01 00:00:00' + make_interval(secs => i * 61) "
            "         + CASE WHEN i % 3 = 0 THEN interval '0.25 seconds' ELSE interval '0' END "
            "FROM generate_series(0, %1) AS i")
            .arg(calls - 1)));

    QStringList expected;
    const auto twoDigits = [](int n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    for (int i = 0; i < calls; ++i) {
        QString from = i % 50 == 0   ? QString(300, u'9')
                       : i % 7 == 0  ? QStringLiteral("ext %1 \U0001F4DE номер").arg(i)
                       : i % 97 == 0 ? QString()
                                     : QString::number(5550000000LL + i);
        const QString duration =
            i % 89 == 0 ? QString() : "00:" + twoDigits(i / 60) + ":" + twoDigits(i % 60);
        const QTime at = QTime(0, 0).addSecs(i * 61);
        const QString start = i == 0 ? QStringLiteral("3/1/2024")
                                     : "3/1/2024 " + at.toString(QStringLiteral("h:mm:ss AP"));
        expected << QStringList{from, "101", start, duration}.join('|');
    }
    expected.sort();

    DbDriver = driver;
    CallListModel list;
    QVERIFY(search("To", "101", list, "3/1/2024"));
    QCOMPARE(listed(list), expected);
}

void TestSearchDb::serverStoppedBeforeSearch() {
    CallListModel list;
    list.appendRows(CallsFromTexts({CallRow{"old", "row", "", ""}}));
    QVERIFY(TestDatabase::stopServer());
    const bool result = search("Both", "101", list);
    QVERIFY(TestDatabase::startServer());
    QVERIFY(!result);
    QCOMPARE(list.count(), 0);
    // A new connection per search: the next one works again.
    QVERIFY(search("Both", "101", list));
    QCOMPARE(list.count(), 4);
}

// Another session holds the table locked; the search gives up after its timeout, shortened here
// from a minute to a few seconds, and the next search works once the lock is gone.
void TestSearchDb::lockedTableGivesUp() {
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());

    ConnectionSettings settings = CurrentConnectionSettings();
    settings.queryTimeoutSeconds = 3;
    CallListModel list;
    QElapsedTimer clock;
    clock.start();
    const Result<CallRows> found =
        RunSearchQuery(settings, BuildSearchQuery({"Both", "3/1/2024", "101"}));
    const bool result = found.ok();
    const QString failure = found.reason();
    const qint64 elapsed = clock.elapsed();
    lock.release();

    QVERIFY(!result);
    QVERIFY2(elapsed >= 2500 && elapsed < 15000, qPrintable(QString::number(elapsed)));
    QVERIFY2(failure.contains("statement timeout"), qPrintable(failure));
    QVERIFY(search("Both", "101", list));
    QCOMPARE(list.count(), 4);
}

void TestSearchDb::workerCancelsWaitingStatement_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("search"); // or the extension list
    QTest::newRow("search") << "public.callhistory2" << true;
    QTest::newRow("extension list") << "public.dnallocation" << false;
}

// A statement the worker runs waits for a table another session holds: cancelled from this
// thread, it ends at once with that reason, and so does any later one.
void TestSearchDb::workerCancelsWaitingStatement() {
    QFETCH(QString, table);
    QFETCH(bool, search);
    TestDatabase::TableLock lock(table);
    QVERIFY(lock.held());
    const auto waiting = [&table] {
        return TestDatabase::scalar("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type "
                                    "= 'Lock' AND query LIKE '%" +
                                    table.section('.', 1) + "%'")
            .toInt();
    };
    QObject receiver;
    DbWorker worker;
    std::optional<Status> ended;
    const auto finished = [&ended](const Status& status) { ended = status; };
    const SearchQuery query = BuildSearchQuery({"Both", "3/1/2024", "101"});
    if (search)
        worker.search(CurrentConnectionSettings(), query, false, &receiver,
                      [&](DbWorker::SearchOutcome outcome) { finished(outcome.rows.status); });
    else
        worker.fillExtensionList(CurrentConnectionSettings(), &receiver,
                                 [&](const Result<QStringList>& read) { finished(read.status); });
    QTRY_COMPARE_WITH_TIMEOUT(waiting(), 1, 10000);
    QVERIFY(!ended);
    worker.cancel();
    QTRY_VERIFY_WITH_TIMEOUT(ended.has_value(), 2000);
    QCOMPARE(ended->reason(), DbConnection::kCancelled);
    QTRY_COMPARE_WITH_TIMEOUT(waiting(), 0, 2000);
    QVERIFY(worker.finish(2000));
}

// The window changes the credentials while the worker is busy with a search that waits for a
// locked table: the search asked for before the change still connects with the old ones, the
// one asked for after it with the new ones, and the worker reads no setting on its own.
void TestSearchDb::searchKeepsTheSettingsItWasAskedWith() {
    TestDatabase::TableLock lock("public.callhistory2");
    QVERIFY(lock.held());
    QObject receiver;
    DbWorker worker;
    std::vector<Result<CallRows>> ended(3);
    std::vector<bool> done(3, false);
    const auto asked = [&](int index) {
        worker.search(CurrentConnectionSettings(), BuildSearchQuery({"Both", "3/1/2024", "101"}),
                      false, &receiver, [&, index](DbWorker::SearchOutcome outcome) {
                          ended[size_t(index)] = std::move(outcome.rows);
                          done[size_t(index)] = true;
                      });
    };
    asked(0); // waits for the lock
    QTRY_COMPARE_WITH_TIMEOUT(
        TestDatabase::scalar("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = "
                             "'Lock' AND query LIKE '%callhistory2%'")
            .toInt(),
        1, 10000);
    asked(1); // queued behind it, with the credentials that work
    // As the login dialog does: stored even though the probe fails with them.
    QVERIFY(!TryCredentials(TestDatabase::user(), QStringLiteral("not the password")));
    asked(2); // with the credentials typed now
    QVERIFY(!done[0] && !done[1]);
    lock.release();

    QTRY_VERIFY_WITH_TIMEOUT(done[0] && done[1] && done[2], 20000);
    QVERIFY2(ended[0].ok(), qPrintable(ended[0].reason()));
    QCOMPARE(ended[0].value.size(), 4);
    QVERIFY2(ended[1].ok(), qPrintable(ended[1].reason()));
    QCOMPARE(ended[1].value.size(), 4);
    QVERIFY(!ended[2].ok());
    QVERIFY2(ended[2].reason().contains("password"), qPrintable(ended[2].reason()));
    QVERIFY(!ended[2].reason().contains("not the password"));
    QVERIFY(worker.finish(2000));
}

// Opening a connection again finds its new socket; the stall guard's watcher goes on.
void TestSearchDb::openedAgainGoesOn() {
    DbConnection connection;
    QVERIFY(connection.open(WorkingConnectionString(DbDriver), config::DatabaseOwnerAccount()));
    QVERIFY(connection.open(WorkingConnectionString(DbDriver), config::DatabaseOwnerAccount()));
    QVERIFY(connection.execute(kTestQuery));
    int rows = 0;
    QVERIFY(connection.forEachRow([&] { return ++rows > 0; }));
    QCOMPARE(rows, 1);
}

// What a failed open ran into decides whether the driver probe tries the next driver name.
void TestSearchDb::openTellsWhatItRanInto_data() {
    QTest::addColumn<QString>("driverClause");
    QTest::addColumn<QString>("password");
    QTest::addColumn<DbConnection::OpenFailure>("ranInto");
    QTest::newRow("opened") << QString() << TestDatabase::password()
                            << DbConnection::OpenFailure::None;
    QTest::newRow("no driver of that name")
        << "Driver={Linetally No Such Driver};" << TestDatabase::password()
        << DbConnection::OpenFailure::DriverMissing;
    QTest::newRow("wrong password")
        << QString() << TestDatabase::password() + "-not" << DbConnection::OpenFailure::Other;
}

void TestSearchDb::openTellsWhatItRanInto() {
    QFETCH(QString, driverClause);
    QFETCH(QString, password);
    QFETCH(DbConnection::OpenFailure, ranInto);
    ConnectionSettings settings = CurrentConnectionSettings();
    if (!driverClause.isEmpty())
        settings.driverClause = driverClause;
    settings.password = password;
    DbConnection connection;
    const Result<DbConnection::OpenFailure> opened =
        connection.tryOpen(WorkingConnectionString(settings), settings.ownerAccount);
    QCOMPARE(opened.value, ranInto);
    QCOMPARE(opened.ok(), ranInto == DbConnection::OpenFailure::None);
    // The reason is the driver's, and never holds the password.
    QVERIFY(!opened.reason().contains(password));
}

// Qt SQL's own route (the native driver of the second self-test) keeps each value of a row: a
// value read first stays valid while the next is read.
void TestSearchDb::nativeRouteKeepsEachValue() {
    DbConnection connection(QStringLiteral("QPSQL"));
    QVERIFY(connection.openNative("127.0.0.1", 5480, "phonesystem", TestDatabase::user(),
                                  TestDatabase::password(), config::DatabaseOwnerAccount()));
    QVERIFY(connection.execute("SELECT 'first value, long enough to live on the heap', "
                               "'second value, long enough to live on the heap'"));
    QList<QByteArray> firsts, seconds;
    QVERIFY(connection.forEachRow([&] {
        const DbValue first = connection.value(0);
        const DbValue second = connection.value(1);
        firsts << first.bytes.toByteArray();
        seconds << second.bytes.toByteArray();
        return true;
    }));
    QCOMPARE(firsts, QList<QByteArray>{"first value, long enough to live on the heap"});
    QCOMPARE(seconds, QList<QByteArray>{"second value, long enough to live on the heap"});
}

void TestSearchDb::bothRoutesReadEachValueAlike_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("start");
    QTest::newRow("plain") << "00:05:30"
                           << "2024-03-01 09:00:00";
    QTest::newRow("midnight") << "00:00:00"
                              << "2024-03-01 00:00:00";
    QTest::newRow("fraction of a second") << "00:00:01.5"
                                          << "2024-03-01 10:00:00.75";
    QTest::newRow("day-long") << "1 day 02:00:00"
                              << "2024-03-01 11:00:00";
    QTest::newRow("months and days") << "1 mon -30 days"
                                     << "2024-03-01 12:00:00";
    QTest::newRow("negative") << "-00:00:05"
                              << "1969-12-31 23:59:59";
    QTest::newRow("nulls") << QString() << QString();
    QTest::newRow("infinity") << "00:01:00"
                              << "infinity";
    QTest::newRow("minus infinity") << "00:01:00"
                                    << "-infinity";
    QTest::newRow("last second of 9999") << "00:01:00"
                                         << "9999-12-31 23:59:59";
    QTest::newRow("before Christ") << "00:01:00"
                                   << "0044-03-15 12:00:00 BC";
    QTest::newRow("longest duration") << "2562047788:00:54"
                                      << "2024-03-01 13:00:00";
}

// The terminal's reports read through PostgreSQL's own library, the window through ODBC: every
// value the database can hold comes out of both the same.
void TestSearchDb::bothRoutesReadEachValueAlike() {
    QFETCH(QString, duration);
    QFETCH(QString, start);
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::insertCall("101", "102", duration, start));
    QVERIFY(TestDatabase::insertCall(QString(), "", "00:00:00", "2024-03-02 08:00:00"));
    const SearchQuery query{"SELECT from_no, to_no, dur, starttime FROM public.callhistory2 "
                            "WHERE id > ? ORDER BY id",
                            {0}};
    const auto readBy = [&](bool streamed) {
        QStringList read;
        const auto reader = [&](const CallRecord& call) {
            read << everyField(call);
            return true;
        };
        const Status status = streamed ? StreamCalls(query, reader)
                                       : ReadCalls(query, DbConnection::Rows::InBatches, reader);
        if (!status)
            read << "failed: " + status.reason();
        return read;
    };
    const QStringList odbc = readBy(false);
    QCOMPARE(odbc.size(), 2);
    QCOMPARE(readBy(true), odbc);
}

// Except where the ODBC driver loses the value: it cannot read a year after 9999 and gives
// "0000-00-00 00:00:00"; PostgreSQL's library gives the stored text.
void TestSearchDb::yearsAfter9999KeepTheirText() {
    QVERIFY(TestDatabase::insertCall("101", "102", "00:01:00", "10000-01-01 00:00:00"));
    QStringList starts;
    QVERIFY(StreamCalls({"SELECT from_no, to_no, dur, starttime FROM public.callhistory2 WHERE "
                         "starttime > ?",
                         {"9999-12-31"}},
                        [&](const CallRecord& call) {
                            starts << call.startText;
                            return true;
                        }));
    QCOMPARE(starts, QStringList{"10000-01-01 00:00:00"});
}

// The first rows read alone and the rest through the cursor give each call once and in order,
// where many calls start in the same second and were written newest first.
void TestSearchDb::firstRowsAtOnceReadEachCallOnce_data() {
    QTest::addColumn<int>("calls");
    QTest::newRow("fewer than the first rows") << 999;
    QTest::newRow("as many") << 1000;
    QTest::newRow("one more") << 1001;
    QTest::newRow("many more") << 2600;
}

void TestSearchDb::firstRowsAtOnceReadEachCallOnce() {
    QFETCH(int, calls);
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::exec(
        QStringLiteral("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT "
                       "'c' || i, '101', interval '1 minute', timestamp '2024-03-01 08:00:00' + "
                       "(i / 8) * interval '1 second' FROM generate_series(%1, 1, -1) i")
            .arg(calls)));
    ReportFilter filter;
    filter.first = filter.last = QDate(2024, 3, 1);
    const SearchQuery query = BuildListedReportQuery(filter);
    const auto readBy = [&](DbConnection::Rows rows) {
        QStringList read;
        const auto reader = [&](const CallRecord& call) {
            read << call.startText + '|' + call.callFrom.toByteArray();
            return true;
        };
        const Status status =
            rows == DbConnection::Rows::FirstAtOnce || rows == DbConnection::Rows::Copied
                ? StreamCalls(CurrentConnectionSettings(), query, reader, rows)
                : ReadCalls(query, rows, reader);
        if (!status)
            read << "failed: " + status.reason();
        return read;
    };
    const QStringList firstAtOnce = readBy(DbConnection::Rows::FirstAtOnce);
    QCOMPARE(firstAtOnce.size(), calls);
    QCOMPARE(QSet<QString>(firstAtOnce.begin(), firstAtOnce.end()).size(), calls);
    QVERIFY(std::is_sorted(firstAtOnce.begin(), firstAtOnce.end(),
                           [](const QString& a, const QString& b) {
                               return a.section('|', 0, 0) < b.section('|', 0, 0);
                           }));
    QCOMPARE(firstAtOnce, readBy(DbConnection::Rows::InBatches));
    QCOMPARE(readBy(DbConnection::Rows::Copied), firstAtOnce);
}

void TestSearchDb::copiedCallsReadAsTheCursorsDo() {
    // Every odd value a copy's text form escapes or the driver reads apart.
    const QList<QStringList> odd = {
        {"a\tb", "back\\slash", "00:00:01", "2024-03-01 10:00:00"},
        {"line\nbreak\r", "\\N", "00:01:30.5", "2024-03-01 10:00:01"},
        {QString(), "", "1 day 02:00:00", "2024-03-01 10:00:02.25"},
        {"\b\f\v", QString(), QString(), "2024-03-01 23:59:59.999999"},
    };
    for (const QStringList& c : odd)
        QVERIFY(TestDatabase::exec(
            QStringLiteral("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
                           "VALUES (%1, %2, %3, '%4')")
                .arg(c[0].isNull() ? "NULL" : "E'" + c[0] + "'",
                     c[1].isNull() ? "NULL" : "E'" + c[1] + "'",
                     c[2].isNull() ? "NULL" : "'" + c[2] + "'", c[3])));
    ReportFilter filter;
    filter.first = QDate(2024, 2, 29);
    filter.last = QDate(2024, 3, 1);
    filter.number = QStringLiteral("101");
    const auto readBy = [&](DbConnection::Rows rows, bool everyCall) {
        ReportFilter chosen = filter;
        if (everyCall)
            chosen.number.reset();
        QStringList read;
        const Status status = StreamCalls(
            CurrentConnectionSettings(), BuildListedReportQuery(chosen),
            [&](const CallRecord& call) {
                read << everyField(call);
                return true;
            },
            rows);
        if (!status)
            read << "failed: " + status.reason();
        return read;
    };
    for (const bool everyCall : {true, false}) {
        const QStringList copied = readBy(DbConnection::Rows::Copied, everyCall);
        QCOMPARE(copied.size(), everyCall ? 10 : 5);
        QCOMPARE(copied, readBy(DbConnection::Rows::InBatches, everyCall));
    }
}

QTEST_GUILESS_MAIN(TestSearchDb)
#include "tst_searchdb.moc"

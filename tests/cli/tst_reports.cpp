// The terminal reports, run as the real program against the test database, read back and
// compared with what SQL says of the same rows.
#include "callcells.h"
#include "config.h"
#include "dbroutines.h"
#include "searchquery.h"
#include "testdatabase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

// The fields of RFC 4180 CSV, rows of fields; a field written without quotes and empty is
// null (a NULL), "" is an empty text.
QList<QList<std::optional<QByteArray>>> readCsv(const QByteArray& text) {
    QList<QList<std::optional<QByteArray>>> rows;
    QList<std::optional<QByteArray>> row;
    qsizetype i = 0;
    while (i < text.size()) {
        std::optional<QByteArray> field;
        if (text[i] == '"') {
            field = QByteArray("");
            for (++i; i < text.size(); ++i) {
                if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
                    *field += text[++i];
                else if (text[i] == '"')
                    break;
                else
                    *field += text[i];
            }
            ++i;
        } else {
            const qsizetype end = [&] {
                qsizetype j = i;
                while (j < text.size() && text[j] != ',' && text[j] != '\r')
                    ++j;
                return j;
            }();
            if (end > i)
                field = text.mid(i, end - i);
            i = end;
        }
        row << field;
        if (i < text.size() && text[i] == ',') {
            ++i;
        } else {
            i += 2; // CR LF
            rows << row;
            row.clear();
        }
    }
    return rows;
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void formatsReadBackTheStoredValues_data();
    void formatsReadBackTheStoredValues();
    void periodIncludesBothEnds();
    void containsFindsEveryWrittenForm_data();
    void containsFindsEveryWrittenForm();
    void summariesEqualSql_data();
    void summariesEqualSql();
    void textChartIsTheWindowsCells();
    void notesNameWhatTheyCount_data();
    void notesNameWhatTheyCount();
    void exitStatuses_data();
    void exitStatuses();
    void closedPipeEndsQuietly();
    void injectionFindsNothing_data();
    void injectionFindsNothing();
    void credentialsFromAPipe();
    void credentialsRefusals_data();
    void credentialsRefusals();
    void noCoreDumps();
    void formulasStayText_data();
    void formulasStayText();
    void everyCharacterUnderAnyLocale_data();
    void everyCharacterUnderAnyLocale();
    void numbersNotUtf8AreRepaired_data();
    void numbersNotUtf8AreRepaired();

private:
    Run run(const QStringList& arguments, const QByteArray& input = {},
            const QString& stdoutFile = {});
    void writeSettings(const QString& user, const QString& password);
    QTemporaryDir dir_;
    QString settings_;
    QProcessEnvironment environment_; // the program's, set by init()
};

void TestReports::initTestCase() {
    REQUIRE_TEST_DATABASE();
    settings_ = dir_.filePath("local.cfg");
}

void TestReports::init() {
    environment_ = QProcessEnvironment::systemEnvironment();
    QVERIFY(TestDatabase::resetTables());
    writeSettings(TestDatabase::user(), TestDatabase::password());
    QVERIFY(TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES "
                               "('101', 1), ('102', 1), ('103', 1)"));
}

void TestReports::writeSettings(const QString& user, const QString& password) {
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("DBUSER=" + user + "\r\nDBPASS=" + password + "\r\n").toUtf8());
}

Run TestReports::run(const QStringList& arguments, const QByteArray& input,
                     const QString& stdoutFile) {
    QProcess program;
    QProcessEnvironment env = environment_;
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    if (!stdoutFile.isEmpty())
        program.setStandardOutputFile(stdoutFile);
    program.start(LINETALLY_BINARY,
                  QStringList{arguments.first(), "--config", settings_} + arguments.mid(1));
    program.write(input);
    program.closeWriteChannel();
    Run result;
    if (!program.waitForFinished(120000))
        return result;
    result.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = program.readAllStandardOutput();
    result.err = program.readAllStandardError();
    return result;
}

void TestReports::formatsReadBackTheStoredValues_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << "csv";
    QTest::newRow("jsonl") << "jsonl";
}

// Numbers holding commas, quotes and line breaks, NULLs, a midnight start, durations of a day,
// negative and fractional: each comes back as stored.
void TestReports::formatsReadBackTheStoredValues() {
    QFETCH(QString, format);
    QVERIFY(TestDatabase::execAll({
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101', 'a,b', '00:05:30', '2026-12-08 15:15:42'),"
        "('say \"hi\"', 'line\nbreak', '1 day 02:00:00', '2026-12-08 00:00:00'),"
        "('101', NULL, NULL, '2026-12-08 09:00:00'),"
        "('', '102', '-00:05:00', '2026-12-08 10:00:00'),"
        "('103', '101', '00:00:01.5', '2026-12-08 23:59:59')",
    }));
    const Run result = run({"calls", "--day", "2026-12-08", "--all", "--format", format});
    QCOMPARE(result.status, 0);
    const QStringList expected =
        TestDatabase::scalar(
            "SELECT string_agg(coalesce(from_no, '<null>') || '|' || coalesce(to_no, '<null>') || "
            "'|' || to_char(starttime, 'YYYY-MM-DD\"T\"HH24:MI:SS') || '|' || "
            "coalesce(trunc(extract(epoch FROM dur))::text, '<null>'), '/' ORDER BY starttime) "
            "FROM public.callhistory2")
            .split('/');
    QStringList read;
    QStringList durations;
    if (format == "csv") {
        const auto rows = readCsv(result.out);
        QCOMPARE(rows.size(), expected.size() + 1);
        QCOMPARE(rows.first().size(), 5);
        for (const auto& row : rows.mid(1)) {
            QStringList fields;
            for (int column : {0, 1, 2, 4})
                fields << (row[column] ? QString::fromUtf8(*row[column]) : QString("<null>"));
            read << fields.join('|');
            durations << (row[3] ? QString::fromUtf8(*row[3]) : QString("<null>"));
        }
    } else {
        for (const QByteArray& line : result.out.split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QStringList fields;
            for (const char* key : {"call_from", "call_to", "start", "duration_seconds"}) {
                const QJsonValue value = object.value(key);
                fields << (value.isNull()     ? QString("<null>")
                           : value.isDouble() ? QString::number(value.toInteger())
                                              : value.toString());
            }
            read << fields.join('|');
            const QJsonValue duration = object.value("duration");
            durations << (duration.isNull() ? QString("<null>") : duration.toString());
        }
    }
    QCOMPARE(read, expected);
    // The driver's exact form as h:mm:ss; any other text as the driver wrote it.
    QCOMPARE(durations,
             (QStringList{"1 day 02:00:00", "<null>", "-0:05:00", "0:05:30", "00:00:01.5"}));
}

void TestReports::periodIncludesBothEnds() {
    for (const char* start : {"2026-11-30 23:59:59", "2026-12-01 00:00:00", "2026-12-07 23:59:59",
                              "2026-12-08 00:00:00"})
        QVERIFY(TestDatabase::insertCall("101", "102", "00:01:00", start));
    const Run result =
        run({"calls", "--from", "2026-12-01", "--to", "2026-12-07", "101", "--format", "csv"});
    QCOMPARE(result.status, 0);
    const auto rows = readCsv(result.out);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(*rows[1][2], "2026-12-01T00:00:00");
    QCOMPARE(*rows[2][2], "2026-12-07T23:59:59");
}

void TestReports::containsFindsEveryWrittenForm_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QStringList>("found");
    const QStringList forms{"+441632960777", "01632 960777", "1632960777"};
    QTest::newRow("digits") << "1632960777"
                            << "both" << forms;
    QTest::newRow("written with signs") << "(1632) 960-777"
                                        << "both" << forms;
    QTest::newRow("called only") << "1632960777"
                                 << "to" << QStringList{"+441632960777"};
    QTest::newRow("international") << "+44 1632 960777"
                                   << "both" << QStringList{"+441632960777"};
}

void TestReports::containsFindsEveryWrittenForm() {
    QFETCH(QString, typed);
    QFETCH(QString, direction);
    QFETCH(QStringList, found);
    QVERIFY(TestDatabase::insertCall("101", "+441632960777", "00:01:00", "2026-12-08 09:00:00"));
    QVERIFY(TestDatabase::insertCall("01632 960777", "102", "00:01:00", "2026-12-08 09:01:00"));
    QVERIFY(TestDatabase::insertCall("1632960777", "103", "00:01:00", "2026-12-08 09:02:00"));
    QVERIFY(TestDatabase::insertCall("101", "+44 1632 960778", "00:01:00", "2026-12-08 09:03:00"));
    QVERIFY(TestDatabase::insertCall("16329607", "102", "00:01:00", "2026-12-08 09:04:00"));
    const Run result = run({"calls", "--day", "2026-12-08", "--match", "contains", "--direction",
                            direction, "--format", "csv", typed});
    QCOMPARE(result.status, 0);
    QStringList numbers;
    for (const auto& row : readCsv(result.out).mid(1))
        numbers << QString::fromUtf8(row[0] == "101" ? *row[1] : *row[0]);
    QCOMPARE(numbers, found);
}

void TestReports::summariesEqualSql_data() {
    QTest::addColumn<QString>("by");
    QTest::addColumn<QString>("sql");
    // Each gives the rows the CSV should hold, one text a row, fields joined with ",".
    QTest::newRow("hour") << "hour"
                          << "WITH calls AS (SELECT * FROM public.callhistory2 WHERE "
                             "date(starttime) BETWEEN '2026-12-07' AND '2026-12-08'), "
                             "covered AS (SELECT date(starttime) AS d, m FROM calls, "
                             "generate_series(extract(hour FROM starttime)::int * 60 + "
                             "extract(minute FROM starttime)::int, least(1439, extract(hour "
                             "FROM starttime)::int * 60 + extract(minute FROM starttime)::int + "
                             "greatest(floor(extract(epoch FROM dur) / 60)::int, 1) - 1)) m), "
                             "peaks AS (SELECT m / 60 AS h, max(n) AS most FROM (SELECT d, m, "
                             "count(*) AS n FROM covered GROUP BY d, m) x GROUP BY m / 60) "
                             "SELECT string_agg(h || ',' || coalesce(c, 0) || ',' || coalesce(t, "
                             "0) || ',' || coalesce(most, 0), '/' ORDER BY h) FROM "
                             "generate_series(0, 23) h LEFT JOIN (SELECT extract(hour FROM "
                             "starttime)::int AS hr, count(*) AS c, sum(extract(epoch FROM "
                             "dur))::bigint AS t FROM calls GROUP BY 1) s ON s.hr = h LEFT JOIN "
                             "peaks USING (h)";
    QTest::newRow("extension")
        << "extension"
        << "SELECT string_agg(value || ',' || (p + r) || ',' || p || ',' || r || ',' || t, '/' "
           "ORDER BY value) FROM (SELECT e.value, (SELECT count(*) FROM public.callhistory2 "
           "WHERE from_no = e.value) AS p, (SELECT count(*) FROM public.callhistory2 WHERE "
           "to_no = e.value AND from_no IS DISTINCT FROM e.value) AS r, (SELECT "
           "coalesce(sum(extract(epoch FROM dur)), 0)::bigint FROM public.callhistory2 WHERE "
           "from_no = e.value OR to_no = e.value) AS t FROM public.dnallocation e WHERE kind = "
           "1) x";
    QTest::newRow("number")
        << "number"
        << "SELECT string_agg(n || ',' || c, '/' ORDER BY c DESC, n) FROM (SELECT n, count(*) "
           "AS c FROM (SELECT from_no AS n FROM public.callhistory2 UNION ALL SELECT to_no FROM "
           "public.callhistory2 WHERE to_no IS DISTINCT FROM from_no) x GROUP BY n ORDER BY c "
           "DESC, n LIMIT 3) y";
}

void TestReports::summariesEqualSql() {
    QFETCH(QString, by);
    QFETCH(QString, sql);
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT "
        "(100 + n % 5)::text, (101 + n % 7)::text, make_interval(secs => (n * 37) % 4000), "
        "timestamp '2026-12-07 00:00:00' + make_interval(secs => (n * 7919) % 172800) "
        "FROM generate_series(1, 400) n"));
    const Run result = run({"summary", "--from", "2026-12-07", "--to", "2026-12-08", "--by", by,
                            "--top", "3", "--format", "csv"});
    QCOMPARE(result.status, 0);
    QStringList read;
    for (const auto& row : readCsv(result.out).mid(1)) {
        QStringList fields;
        if (by == "hour")
            fields << QString::number(row[0]->left(2).toInt()) << *row[1] << *row[3] << *row[4];
        else if (by == "extension")
            fields << *row[0] << *row[1] << *row[2] << *row[3] << *row[5];
        else
            fields << *row[0] << *row[1];
        read << fields.join(',');
    }
    QCOMPARE(read, TestDatabase::scalar(sql).split('/'));
}

// The text chart is drawn from the rows the window's own search lists, by the window's rule.
void TestReports::textChartIsTheWindowsCells() {
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT "
        "CASE WHEN n % 3 = 0 THEN '101' ELSE (200 + n)::text END, "
        "CASE WHEN n % 3 = 0 THEN (300 + n)::text ELSE '101' END, "
        "make_interval(secs => (n * 53) % 3000), "
        "timestamp '2026-12-08 00:00:00' + make_interval(secs => (n * 7919) % 86400) "
        "FROM generate_series(1, 120) n"));
    config::ClearConfig();
    config::SetConfigFilePath(settings_);
    config::LoadConfig();
    QVERIFY(dbRoutines::FindDriver().ok());
    const Result<CallRows> listed =
        dbRoutines::RunSearchQuery(BuildSearchQuery({"Both", "12/8/2026", "101"}));
    QVERIFY(listed.ok());
    QCOMPARE(listed.value.size(), 120);
    const MinuteCells cells = MinuteCellsOf(listed.value, "101");
    QByteArray expected = "      0    5    10   15   20   25   30   35   40   45   50   55\n";
    for (int m = 0; m < kMinutesPerDay; ++m) {
        if (m % 60 == 0)
            expected += QString::asprintf("%02d:00 ", m / 60).toLatin1();
        const bool from = cells.from.test(size_t(m)), to = cells.to.test(size_t(m));
        expected += from && to ? '*' : from ? '#' : to ? '+' : '.';
        if (m % 60 == 59)
            expected += '\n';
    }
    QVERIFY(cells.from.any() && cells.to.any());
    const Run result = run({"chart", "--day", "2026-12-08", "101"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, expected);
}

void TestReports::notesNameWhatTheyCount_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("shows");
    QTest::addColumn<QByteArray>("notShown");
    // Five one-minute calls one after another at 9, two long calls side by side at 14.
    QTest::newRow("hour summary, two busiest hours")
        << QStringList{"summary", "--day", "2026-12-08", "--by", "hour"}
        << QByteArray("\nMost calls started: 09:00-10:00, 5 calls\n"
                      "Most at once: 14:00-15:00, 2 calls at once\n")
        << QByteArray("No calls");
    QTest::newRow("hour summary, empty day")
        << QStringList{"summary", "--day", "2026-12-09", "--by", "hour"}
        << QByteArray("\nNo calls\n") << QByteArray("Most calls started");
    QTest::newRow("chart, empty day") << QStringList{"chart", "--day", "2026-12-09", "101"}
                                      << QByteArray("\n23:00 ....") << QByteArray("#");
    QTest::newRow("chart, empty day says so")
        << QStringList{"chart", "--day", "2026-12-09", "101"}
        << QByteArray("............\nNo calls\n") << QByteArray("+");
    QTest::newRow("chart, a day with calls")
        << QStringList{"chart", "--day", "2026-12-08", "101"} << QByteArray("\n14:00 ##########.")
        << QByteArray("No calls");
}

void TestReports::notesNameWhatTheyCount() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, shows);
    QFETCH(QByteArray, notShown);
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT '101', "
        "(200 + n)::text, interval '00:00:30', timestamp '2026-12-08 09:00:00' + n * interval '2 "
        "min' "
        "FROM generate_series(1, 5) n UNION ALL SELECT '101', '102', interval '00:10:00', "
        "timestamp '2026-12-08 14:00:00' FROM generate_series(1, 2)"));
    const Run result = run(arguments);
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains(shows), result.out.constData());
    QVERIFY2(!result.out.contains(notShown), result.out.constData());
}

void TestReports::exitStatuses_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("no rows") << "" << QStringList{"calls", "--day", "2026-01-01", "--all"} << 0
                             << "";
    QTest::newRow("bad date") << "" << QStringList{"calls", "--day", "2026-02-30", "--all"} << 2
                              << "--day 2026-02-30";
    QTest::newRow("period backwards")
        << "" << QStringList{"calls", "--from", "2026-12-08", "--to", "2026-12-01", "--all"} << 2
        << "--to 2026-12-01";
    QTest::newRow("neither number nor --all") << "" << QStringList{"calls"} << 2 << "NUMBER";
    QTest::newRow("too few digits")
        << "" << QStringList{"calls", "--match", "contains", "12"} << 2 << "at least 3 digits";
    QTest::newRow("unknown option")
        << "" << QStringList{"summary", "--by", "week"} << 2 << "--by week";
    QTest::newRow("no credentials")
        << "empty" << QStringList{"calls", "--all"} << 3 << "linetally credentials";
    QTest::newRow("wrong password")
        << "wrong" << QStringList{"calls", "--all"} << 3 << "password authentication failed";
    QTest::newRow("server down") << "stop" << QStringList{"calls", "--all"} << 3
                                 << "Connection refused";
    QTest::newRow("statement fails")
        << "REVOKE SELECT ON public.callhistory2 FROM " + TestDatabase::user()
        << QStringList{"calls", "--all"} << 4 << "permission denied";
    QTest::newRow("output folder missing")
        << "" << QStringList{"calls", "--all", "--output", "/no/such/folder/x.csv"} << 5
        << "/no/such/folder/x.csv";
    QTest::newRow("settings others may change")
        << "shared" << QStringList{"calls", "--all"} << 3 << "bad ownership or modes";
    QTest::newRow("top beyond its range")
        << "" << QStringList{"summary", "--by", "number", "--top", "2147483648"} << 2
        << "--top 2147483648: it is a whole number from 1 to 2147483647";
    QTest::newRow("raw table") << "" << QStringList{"calls", "--all", "--raw"} << 2 << "--raw";
    QTest::newRow("disk full") << "full" << QStringList{"calls", "--all", "--format", "csv"} << 5
                               << "standard output";
}

void TestReports::exitStatuses() {
    QFETCH(QString, setup);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    QVERIFY(TestDatabase::exec("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
                               "SELECT '101', '102', '00:01:00', current_date + make_interval("
                               "secs => n) FROM generate_series(1, 20000) n"));
    if (setup == "empty")
        writeSettings("", "");
    else if (setup == "wrong")
        writeSettings(TestDatabase::user(), "not-the-password");
    else if (setup == "stop")
        QVERIFY(TestDatabase::stopServer());
    else if (setup.startsWith("REVOKE"))
        QVERIFY(TestDatabase::exec(setup));
    else if (setup == "shared")
        QVERIFY(QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7777)));
    const Run result = run(arguments, {}, setup == "full" ? "/dev/full" : QString());
    if (setup == "shared")
        QVERIFY(QFile::setPermissions(
            dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (setup == "stop")
        QVERIFY(TestDatabase::startServer());
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(says.toUtf8()), result.err.constData());
    QVERIFY(!result.err.contains(TestDatabase::password().toUtf8()));
    QVERIFY(!result.out.contains(TestDatabase::password().toUtf8()));
}

void TestReports::closedPipeEndsQuietly() {
    QVERIFY(TestDatabase::exec("INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) "
                               "SELECT '101', '102', '00:01:00', current_date + make_interval("
                               "secs => n % 86000) FROM generate_series(1, 200000) n"));
    QProcess shell;
    shell.start("bash", {"-c", QString("'%1' calls --config '%2' --all --format csv | head -n 2 "
                                       ">/dev/null; echo \"${PIPESTATUS[0]}\"")
                                   .arg(LINETALLY_BINARY, settings_)});
    QVERIFY(shell.waitForFinished(120000));
    QCOMPARE(shell.readAllStandardOutput().trimmed(), "0");
    QCOMPARE(shell.readAllStandardError(), QByteArray());
}

void TestReports::injectionFindsNothing_data() {
    QTest::addColumn<QString>("number");
    QTest::newRow("quote") << "101' OR '1'='1";
    QTest::newRow("statement") << "101; DROP TABLE public.callhistory2; --";
    QTest::newRow("like wildcard") << "%";
}

void TestReports::injectionFindsNothing() {
    QFETCH(QString, number);
    QVERIFY(TestDatabase::insertCall("101", "102", "00:01:00", "2026-12-08 09:00:00"));
    for (const QString match : {"exact", "contains"}) {
        const Run result = run(
            {"calls", "--day", "2026-12-08", "--match", match, "--format", "csv", "--", number});
        if (match == "contains" && result.status == 2)
            continue; // too few digits to look for
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QByteArray("call_from,call_to,start,duration,duration_seconds\r\n"));
    }
    QCOMPARE(TestDatabase::scalar("SELECT count(*) FROM public.callhistory2"), "1");
}

void TestReports::credentialsFromAPipe() {
    QFile::remove(settings_);
    const QByteArray wrong = TestDatabase::user().toUtf8() + "\nnot-the-password\n";
    Run result = run({"credentials"}, wrong);
    QCOMPARE(result.status, 3);
    QVERIFY2(result.err.contains("Linetally failed to connect to your 3CX database."),
             result.err.constData());
    QVERIFY(!QFile::exists(settings_));

    result = run({"credentials"}, TestDatabase::user().toUtf8() + "\n");
    QCOMPARE(result.status, 2);

    result = run({"credentials"}, TestDatabase::user().toUtf8() + "\r\n" +
                                      TestDatabase::password().toUtf8() + "\r\n");
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, "Database Connection Successful\n");
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "DBUSER=" + TestDatabase::user().toUtf8() +
                                 "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n");
    QCOMPARE(file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QCOMPARE(run({"calls", "--all"}).status, 0);
}

// What credentials refuses before it connects: a usage error that repeats nothing typed and
// reads no more than a line's limit.
void TestReports::credentialsRefusals_data() {
    QTest::addColumn<QString>("feeder"); // the shell command whose output is standard input
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("says");
    QTest::newRow("an argument is not repeated") << "printf 'u\\npw\\n'"
                                                 << "hunter2-secret"
                                                 << "credentials takes no arguments";
    QTest::newRow("an unknown option is not repeated") << "printf 'u\\npw\\n'"
                                                       << "--hunter2-secret"
                                                       << "an unknown option";
    QTest::newRow("line break in the password") << "printf 'u\\npw\\rmore\\n'"
                                                << ""
                                                << "cannot hold line breaks";
    QTest::newRow("a 300 MB line") << "head -c 300000000 /dev/zero | tr '\\0' a"
                                   << ""
                                   << "longer than 4096 bytes";
}

void TestReports::credentialsRefusals() {
    QFETCH(QString, feeder);
    QFETCH(QString, argument);
    QFETCH(QString, says);
    QFile::remove(settings_);
    QProcess shell;
    shell.start("bash", {"-c", QString("%1 | '%2' credentials --config '%3' %4; echo \"$?\"")
                                   .arg(feeder, LINETALLY_BINARY, settings_, argument)});
    QVERIFY(shell.waitForFinished(120000));
    QCOMPARE(shell.readAllStandardOutput().trimmed(), "2");
    const QByteArray err = shell.readAllStandardError();
    QVERIFY2(err.contains(says.toUtf8()), err.constData());
    if (!argument.isEmpty())
        QVERIFY2(!err.contains(argument.toUtf8()), err.constData());
    QVERIFY(!QFile::exists(settings_));
}

// The process holds the password: it writes no core dump.
void TestReports::noCoreDumps() {
    if (::geteuid() != 0)
        QSKIP("a process that cannot be dumped shows its limits to root only");
    QProcess program;
    program.start(LINETALLY_BINARY, {"credentials", "--config", settings_});
    QVERIFY(program.waitForStarted());
    const auto coreLimit = [&program] {
        QFile limits(QString("/proc/%1/limits").arg(program.processId()));
        if (!limits.open(QIODevice::ReadOnly))
            return QByteArray();
        for (const QByteArray& line : limits.readAll().split('\n')) {
            if (line.startsWith("Max core file size"))
                return line.simplified();
        }
        return QByteArray();
    };
    // It waits for its input once it has set its limits.
    QTRY_COMPARE(coreLimit(), QByteArray("Max core file size 0 0 bytes"));
    program.closeWriteChannel();
    QVERIFY(program.waitForFinished(30000));
}

const QStringList kFormulaNumbers = {"=HYPERLINK(\"http://example.com\",\"x\")",
                                     "@SUM(A1:A9)",
                                     "-2+3+cmd|' /C calc'!A0",
                                     "\t=1+1",
                                     "+44 1632 960777",
                                     "+441632960777",
                                     "-5"};

void TestReports::formulasStayText_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("written");
    QStringList guarded = kFormulaNumbers;
    for (int i = 0; i < 4; ++i)
        guarded[i].prepend(u'\'');
    QTest::newRow("for spreadsheets") << QStringList{} << guarded;
    QTest::newRow("raw, for programs") << QStringList{"--raw"} << kFormulaNumbers;
}

// Numbers a spreadsheet would run are written as text; plain numbers stay exact.
void TestReports::formulasStayText() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, written);
    for (int i = 0; i < kFormulaNumbers.size(); ++i)
        QVERIFY(
            TestDatabase::insertCall(kFormulaNumbers[i], "101", "00:01:00",
                                     QString("2026-12-08 09:%1:00").arg(i, 2, 10, QChar(u'0'))));
    const Run calls =
        run(QStringList{"calls", "--day", "2026-12-08", "101", "--format", "csv"} + options);
    QCOMPARE(calls.status, 0);
    QStringList read;
    for (const auto& row : readCsv(calls.out).mid(1))
        read << QString::fromUtf8(row[0].value_or("<null>"));
    QCOMPARE(read, written);

    const Run summary = run(QStringList{"summary", "--day", "2026-12-08", "--by", "number", "--top",
                                        "100", "--format", "csv"} +
                            options);
    QCOMPARE(summary.status, 0);
    QStringList numbers;
    for (const auto& row : readCsv(summary.out).mid(1))
        numbers << QString::fromUtf8(row[0].value_or("<null>"));
    for (const QString& number : written)
        QVERIFY2(numbers.contains(number), qPrintable(numbers.join(" | ")));
}

void TestReports::everyCharacterUnderAnyLocale_data() {
    QTest::addColumn<QStringList>("unset");
    QTest::addColumn<QStringList>("set");
    const QStringList all = {"LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"};
    QTest::newRow("cron: no locale at all") << all << QStringList{};
    QTest::newRow("LANG=C") << all << QStringList{"LANG=C"};
    QTest::newRow("LC_ALL=POSIX") << all << QStringList{"LC_ALL=POSIX"};
    QTest::newRow("UTF-8 locale") << all << QStringList{"LANG=C.UTF-8"};
}

// The database's text is UTF-8 whatever the locale says.
void TestReports::everyCharacterUnderAnyLocale() {
    QFETCH(QStringList, unset);
    QFETCH(QStringList, set);
    for (const QString& name : unset)
        environment_.remove(name);
    for (const QString& pair : set)
        environment_.insert(pair.section('=', 0, 0), pair.section('=', 1));
    QVERIFY(TestDatabase::execAll({
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('Zoë', '東京', '00:01:00', '2026-12-08 09:00:00'),"
        "('101', 'Ελλάδα 🙂', '00:02:00', '2026-12-08 10:00:00')",
    }));
    for (const QString format : {"csv", "jsonl", "table"}) {
        const Run result = run({"calls", "--day", "2026-12-08", "--all", "--format", format});
        QVERIFY2(result.status == 0 && result.err.isEmpty(), result.err.constData());
        for (const char* text : {"Zoë", "東京", "Ελλάδα 🙂"})
            QVERIFY2(result.out.contains(text), result.out.constData());
    }
}

void TestReports::numbersNotUtf8AreRepaired_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("warned"); // whether the report shows a repaired number
    const QStringList day{"--day", "2026-12-01", "--all"};
    QTest::newRow("csv") << QStringList{"calls", "--format", "csv"} + day << true;
    QTest::newRow("jsonl") << QStringList{"calls", "--format", "jsonl"} + day << true;
    QTest::newRow("table") << QStringList{"calls"} + day << true;
    QTest::newRow("by number") << QStringList{"summary", "--by", "number"} + day << true;
    QTest::newRow("by day") << QStringList{"summary", "--by", "day"} + day << false;
}

// A database that leaves its text unchecked may hold a caller's number that is not UTF-8: the
// report keeps every call and shows those bytes as replacement characters, saying so once.
void TestReports::numbersNotUtf8AreRepaired() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, warned);
    TestDatabase::UncheckedTextDatabase unchecked;
    QVERIFY(unchecked.ready());
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('100', E'55\\xff\\xfe01', '00:01:00', '2026-12-01 10:00:00'),"
        "(E'caf\\xc3\\xa9', '200', '00:00:10', '2026-12-01 11:00:00'),"
        "('100', '5551234', '00:02:00', '2026-12-01 12:00:00')"));
    const Run result = run(arguments);
    QVERIFY2(result.status == 0, result.err.constData());
    const QByteArray notice = "not stored as UTF-8";
    QCOMPARE(result.err.count(notice), warned ? 1 : 0);
    if (arguments.first() == "summary" && !warned) {
        QVERIFY2(result.out.contains("2026-12-01        3"), result.out.constData());
        return;
    }
    for (const char* number : {"55\xEF\xBF\xBD\xEF\xBF\xBD"
                               "01",
                               "caf\xC3\xA9", "5551234"})
        QVERIFY2(result.out.contains(number), result.out.constData());
}

QTEST_GUILESS_MAIN(TestReports)
#include "tst_reports.moc"

// The capacity report, the talk-time choice and --match number, run as the real program against
// the test database and compared with what SQL says of the same rows.
#include "erlangb.h"
#include "testdatabase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

// The capacity CSV holds no quoted fields: lines of comma-separated values, CR LF between.
QStringList csvLines(const QByteArray& text) {
    QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Each day of the period from SQL alone, as the report's CSV lines without lines_needed, and
// the busy hour's traffic in erlangs unrounded. The chart's rule: a call with a duration covers
// its whole minutes (at least one) from its start minute, cut at the end of its day.
QString daysBySql(const QString& first, const QString& last) {
    return TestDatabase::scalar(
        QStringLiteral(
            "WITH period AS (SELECT d::date AS day FROM generate_series('%1'::date, '%2'::date, "
            "'1 day') d), "
            "c AS (SELECT starttime s, starttime + dur e, dur FROM public.callhistory2 "
            "  WHERE date(starttime) BETWEEN '%1' AND '%2'), "
            "hours AS (SELECT p.day, h, p.day + make_interval(hours => h) hs "
            "  FROM period p, generate_series(0, 23) h), "
            "traffic AS (SELECT hours.day, h, coalesce(sum(extract(epoch FROM "
            "  least(c.e, hs + interval '1 hour') - greatest(c.s, hs))) FILTER (WHERE c.s IS NOT "
            "NULL), "
            "  0) secs "
            "  FROM hours LEFT JOIN c ON c.dur > interval '0' AND c.s < hs + interval '1 hour' "
            "  AND c.e > hs GROUP BY hours.day, h), "
            "busy AS (SELECT DISTINCT ON (day) day, h, secs FROM traffic WHERE secs > 0 "
            "  ORDER BY day, secs DESC, h), "
            "cover AS (SELECT date(s) AS day, floor(extract(epoch FROM s::time) / 60) f, "
            "  least(floor(extract(epoch FROM s::time) / 60) + "
            "  greatest(floor(extract(epoch FROM dur) / 60), 1) - 1, 1439) l "
            "  FROM c WHERE dur IS NOT NULL), "
            "minutes AS (SELECT p.day, m FROM period p, generate_series(0, 1439) m), "
            "atonce AS (SELECT DISTINCT ON (minutes.day) minutes.day, m, count(cover.day) n "
            "  FROM minutes LEFT JOIN cover ON cover.day = minutes.day AND m BETWEEN f AND l "
            "  GROUP BY minutes.day, m ORDER BY minutes.day, count(cover.day) DESC, m), "
            "counts AS (SELECT date(s) AS day, count(*) calls, "
            "  count(*) FILTER (WHERE dur = interval '0') notalk, "
            "  coalesce(floor(sum(extract(epoch FROM dur)) FILTER (WHERE dur > interval '0')), "
            "  0) talk FROM c GROUP BY 1) "
            "SELECT string_agg(concat_ws(',', p.day, coalesce(calls, 0), coalesce(notalk, 0), "
            "  coalesce(talk, 0), a.n, CASE WHEN a.n > 0 THEN lpad((a.m / 60)::text, 2, '0') "
            "  || ':' || lpad((a.m % 60)::text, 2, '0') ELSE '' END, coalesce(b.h::text, ''), "
            "  to_char(coalesce(b.secs, 0) / 3600, 'FM9990.00'), coalesce(b.secs, 0) / 3600), "
            "  '/' ORDER BY p.day) "
            "FROM period p LEFT JOIN counts USING (day) JOIN atonce a USING (day) "
            "LEFT JOIN busy b USING (day)")
            .arg(first, last));
}

} // namespace

class TestCapacityReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void capacityEqualsSql_data();
    void capacityEqualsSql();
    void capacityOfOneNumber();
    void talkKeepsOneKind_data();
    void talkKeepsOneKind();
    void summaryCountsCallsWithoutTalk();
    void matchNumberFindsEveryWrittenForm_data();
    void matchNumberFindsEveryWrittenForm();

private:
    Run run(const QStringList& arguments, const QStringList& environment = {});
    void writeSettings(const QByteArray& more = {});
    QTemporaryDir dir_;
    QString settings_;
};

void TestCapacityReport::initTestCase() {
    REQUIRE_TEST_DATABASE();
    settings_ = dir_.filePath("local.cfg");
}

void TestCapacityReport::init() {
    QVERIFY(TestDatabase::resetTables());
    writeSettings();
}

void TestCapacityReport::writeSettings(const QByteArray& more) {
    QFile file(settings_);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("DBUSER=" + TestDatabase::user().toUtf8() +
               "\r\nDBPASS=" + TestDatabase::password().toUtf8() + "\r\n" + more);
}

Run TestCapacityReport::run(const QStringList& arguments, const QStringList& environment) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& setting : environment) {
        const QString name = setting.section('=', 0, 0);
        if (setting.contains('='))
            env.insert(name, setting.section('=', 1));
        else
            env.remove(name);
    }
    program.setProcessEnvironment(env);
    program.start(LINETALLY_BINARY,
                  QStringList{arguments.first(), "--config", settings_} + arguments.mid(1));
    program.closeWriteChannel();
    Run result;
    if (!program.waitForFinished(120000))
        return result;
    result.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = program.readAllStandardOutput();
    result.err = program.readAllStandardError();
    return result;
}

void TestCapacityReport::capacityEqualsSql_data() {
    QTest::addColumn<QString>("rows"); // (from_no, to_no, dur, starttime), ...
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QList<int>>("lines"); // known lines needed per day, where known
    QTest::newRow("overlapping calls") << "('101','102','00:20:00','2026-12-08 10:00:00'),"
                                          "('103','104','00:05:00','2026-12-08 10:05:30'),"
                                          "('105','106','00:30:00','2026-12-08 10:15:00'),"
                                          "('101','107','00:00:00','2026-12-08 10:16:00'),"
                                          "('101','108',NULL,'2026-12-08 10:17:00'),"
                                          "('101','109','-00:02:00','2026-12-08 10:18:00')"
                                       << "2026-12-08"
                                       << "2026-12-08" << QList<int>{};
    QTest::newRow("call across an hour boundary")
        << "('101','102','01:00:00','2026-12-08 10:30:00'),"
           "('103','104','00:10:00','2026-12-08 11:55:00')"
        << "2026-12-08"
        << "2026-12-08" << QList<int>{};
    QTest::newRow("day-long call and a day without calls")
        << "('101','102','1 day 02:00:00','2026-12-07 23:00:00'),"
           "('103','104','00:01:00','2026-12-09 01:30:00')"
        << "2026-12-06"
        << "2026-12-09" << QList<int>{0, 5, 5, 5};
    QTest::newRow("five erlangs") << "('101','201','01:00:00','2026-12-08 09:00:00'),"
                                     "('102','202','01:00:00','2026-12-08 09:00:00'),"
                                     "('103','203','01:00:00','2026-12-08 09:00:00'),"
                                     "('104','204','01:00:00','2026-12-08 09:00:00'),"
                                     "('105','205','01:00:00','2026-12-08 09:00:00')"
                                  << "2026-12-08"
                                  << "2026-12-08" << QList<int>{11};
    QTest::newRow("no calls at all") << ""
                                     << "2026-12-01"
                                     << "2026-12-02" << QList<int>{0, 0};
}

void TestCapacityReport::capacityEqualsSql() {
    QFETCH(QString, rows);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QList<int>, lines);
    if (!rows.isEmpty())
        QVERIFY(TestDatabase::exec(
            "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES " + rows));
    const Run result = run({"capacity", "--from", first, "--to", last, "--all", "--format", "csv"});
    QCOMPARE(result.status, 0);
    const QStringList read = csvLines(result.out);
    QCOMPARE(read.value(0), "day,calls,no_talk_calls,talk_seconds,peak_at_once,peak_at,busy_hour,"
                            "busy_hour_erlangs,lines_needed");
    const QStringList expected = daysBySql(first, last).split('/');
    QCOMPARE(read.size() - 1, expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QStringList sql = expected[i].split(',');
        const double erlangs = sql.takeLast().toDouble();
        QStringList fields = read[i + 1].split(',');
        const int linesNeeded = fields.takeLast().toInt();
        QCOMPARE(fields.join(','), sql.join(','));
        QCOMPARE(linesNeeded, calls::LinesNeeded(erlangs, 0.01));
        if (!lines.isEmpty())
            QCOMPARE(linesNeeded, lines[i]);
    }
}

// One number's calls, the table form, and a blocking other than the default.
void TestCapacityReport::capacityOfOneNumber() {
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101','102','01:00:00','2026-12-08 09:00:00'),('103','101','01:00:00','2026-12-08 "
        "09:00:00'),('104','105','01:00:00','2026-12-08 09:00:00')"));
    const Run csv =
        run({"capacity", "--day", "2026-12-08", "101", "--blocking", "5", "--format", "jsonl"});
    QCOMPARE(csv.status, 0);
    const QJsonObject day = QJsonDocument::fromJson(csv.out.trimmed()).object();
    QCOMPARE(day.value("calls").toInteger(), 2);
    QCOMPARE(day.value("busy_hour_erlangs").toDouble(), 2.0);
    QCOMPARE(day.value("peak_at").toString(), "09:00");
    QCOMPARE(day.value("lines_needed").toInteger(), calls::LinesNeeded(2.0, 0.05));
    const Run table = run({"capacity", "--day", "2026-12-08", "--all"});
    QCOMPARE(table.status, 0);
    const QList<QByteArray> lines = table.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.last(), "Highest day: 2026-12-08, 8 lines for 3.00 E in the 09:00 hour at 1% "
                           "blocking; 3 calls at once at 09:00");
}

void TestCapacityReport::talkKeepsOneKind_data() {
    QTest::addColumn<QString>("talk");
    QTest::addColumn<QString>("condition");
    QTest::newRow("yes") << "yes"
                         << "dur > interval '0'";
    QTest::newRow("no") << "no"
                        << "dur = interval '0'";
}

// Unknown durations (NULL) are neither kind.
void TestCapacityReport::talkKeepsOneKind() {
    QFETCH(QString, talk);
    QFETCH(QString, condition);
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101','102','00:00:00','2026-12-08 09:00:00'),('101','103','00:01:10','2026-12-08 "
        "09:01:00'),('101','104',NULL,'2026-12-08 09:02:00'),('101','105','-00:00:05',"
        "'2026-12-08 09:03:00'),('101','106','00:00:00.5','2026-12-08 09:04:00'),"
        "('102','101','00:00:00','2026-12-08 09:05:00')"));
    const Run result =
        run({"calls", "--day", "2026-12-08", "101", "--talk", talk, "--format", "csv"});
    QCOMPARE(result.status, 0);
    QStringList read;
    for (const QString& line : csvLines(result.out).mid(1))
        read << line.section(',', 1, 1);
    QCOMPARE(read.join(' '), TestDatabase::scalar("SELECT string_agg(to_no, ' ' ORDER BY "
                                                  "starttime) FROM public.callhistory2 WHERE " +
                                                  condition));
}

void TestCapacityReport::summaryCountsCallsWithoutTalk() {
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) VALUES "
        "('101','102','00:00:00','2026-12-08 09:00:00'),('101','103','00:01:10','2026-12-08 "
        "09:01:00'),('101','104',NULL,'2026-12-08 09:02:00'),('102','101','00:00:00',"
        "'2026-12-08 10:05:00'),('102','103','00:02:01','2026-12-08 10:05:00')"));
    const Run result = run({"summary", "--day", "2026-12-08", "--by", "day", "--format", "csv"});
    QCOMPARE(result.status, 0);
    const QStringList lines = csvLines(result.out);
    QVERIFY(lines.value(0).endsWith(",no_talk_calls,average_talk_seconds"));
    const QString sql = TestDatabase::scalar(
        "SELECT count(*) FILTER (WHERE dur = interval '0') || ',' || floor(avg(extract(epoch "
        "FROM dur)) FILTER (WHERE dur > interval '0')) FROM public.callhistory2");
    QCOMPARE(lines.value(1).section(',', -2), sql);
    QCOMPARE(sql, "2,95");
}

void TestCapacityReport::matchNumberFindsEveryWrittenForm_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("found"); // the ids of the calls, oldest first
    const QStringList none;
    const QStringList noLocale{"LC_ALL", "LC_TELEPHONE", "LANG=C.UTF-8"};
    QTest::newRow("region option") << "+44 1632 960777" << QStringList{"--region", "GB"} << noLocale
                                   << QByteArray() << "1 2 3 4";
    QTest::newRow("region setting wins") << "01632 960777" << QStringList{"--region", "US"}
                                         << noLocale << QByteArray("REGION=GB\r\n") << "1 2 3 4";
    QTest::newRow("locale region")
        << "(01632) 960-777" << none
        << QStringList{"LC_ALL", "LC_TELEPHONE=en_GB.UTF-8", "LANG=de_DE.UTF-8"} << QByteArray()
        << "1 2 3 4";
    QTest::newRow("calls it placed")
        << "01632960777" << QStringList{"--region", "GB", "--direction", "from"} << noLocale
        << QByteArray() << "2 4";
    QTest::newRow("another country")
        << "+4911632960777" << QStringList{"--region", "GB"} << noLocale << QByteArray() << "5";
    QTest::newRow("extension only as itself")
        << "301" << QStringList{"--region", "GB"} << noLocale << QByteArray() << "6";
}

void TestCapacityReport::matchNumberFindsEveryWrittenForm() {
    QFETCH(QString, typed);
    QFETCH(QStringList, options);
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, settings);
    QFETCH(QString, found);
    writeSettings(settings);
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (id, from_no, to_no, dur, starttime) VALUES "
        "(1, '101', '+441632960777', '00:01:00', '2026-12-08 09:00:00'),"
        "(2, '0044 1632 960777', '102', '00:01:00', '2026-12-08 09:01:00'),"
        "(3, '103', '(01632) 960-777', '00:01:00', '2026-12-08 09:02:00'),"
        "(4, '01632 960777', '101', '00:01:00', '2026-12-08 09:03:00'),"
        "(5, '101', '+4911632960777', '00:01:00', '2026-12-08 09:04:00'),"
        "(6, '301', '0301', '00:01:00', '2026-12-08 09:05:00'),"
        "(7, '101', '+44 1632 960778', '00:01:00', '2026-12-08 09:06:00'),"
        "(8, '101', '301 960777', '00:01:00', '2026-12-08 09:07:00')"));
    const Run result = run(
        QStringList{"calls", "--day", "2026-12-08", typed, "--match", "number", "--format", "csv"} +
            options,
        environment);
    QVERIFY2(result.status == 0, result.err.constData());
    QStringList starts;
    for (const QString& line : csvLines(result.out).mid(1))
        starts << "'" + line.section(',', 2, 2).replace('T', ' ') + "'";
    const QString ids =
        starts.isEmpty() ? QString()
                         : TestDatabase::scalar("SELECT string_agg(id::text, ' ' ORDER BY id) FROM "
                                                "public.callhistory2 WHERE starttime IN (" +
                                                starts.join(',') + ")");
    QCOMPARE(ids, found);
}

QTEST_GUILESS_MAIN(TestCapacityReport)
#include "tst_capacityreport.moc"

// The summaries the server adds up, compared with the same calls added one by one to the
// tallies, on crafted rows with every odd value the columns can hold.
#include "activity.h"
#include "callrows.h"
#include "dbroutines.h"
#include "serversummary.h"
#include "testdatabase.h"

#include <QtTest>

using namespace Activity;

namespace {

struct Tallied {
    std::vector<std::pair<QDate, DayFigures>> days;
    NumberTally numbers;
};

// Every figure as one line of text, so that a difference shows where it is.
QStringList lines(const Tallied& tallied, int top) {
    QStringList lines;
    for (const auto& [day, figures] : tallied.days) {
        for (int h = 0; h < 24; ++h) {
            const HourFigures& f = figures[size_t(h)];
            lines << QStringLiteral("%1 %2: %3 calls, %4 s, %5 at once, %6 without, %7 with talk")
                         .arg(day.toString(Qt::ISODate))
                         .arg(h)
                         .arg(f.calls)
                         .arg(f.talkSeconds, 0, 'g', 17)
                         .arg(f.mostAtOnce)
                         .arg(f.noTalkCalls)
                         .arg(f.talkedCalls);
        }
    }
    for (const auto& [number, f] : tallied.numbers.top(top))
        lines << QStringLiteral("%1: %2 placed, %3 received, %4 s, %5 without, %6 with talk")
                     .arg(QString::fromUtf8(number.toHex()))
                     .arg(f.placed)
                     .arg(f.received)
                     .arg(f.talkSeconds, 0, 'g', 17)
                     .arg(f.noTalkCalls)
                     .arg(f.talkedCalls);
    return lines;
}

} // namespace

class TestServerSummary : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void sumsEqualCallByCall_data();
    void sumsEqualCallByCall();
    void otherColumnTypesAreLeftToTheProgram_data();
    void otherColumnTypesAreLeftToTheProgram();
};

void TestServerSummary::initTestCase() {
    REQUIRE_TEST_DATABASE();
}

void TestServerSummary::init() {
    TestDatabase::storeCredentials(TestDatabase::user(), TestDatabase::password());
    QVERIFY(dbRoutines::FindDriver().ok());
    QVERIFY(TestDatabase::resetTables());
    QVERIFY(TestDatabase::exec("INSERT INTO public.dnallocation (value, kind) VALUES ('101', 1), "
                               "('102', 1), ('103', 1), ('', 1), ('-10', 1), ('104', 2)"));
    // Many ordinary calls over three days, with calls from and to themselves, then one of each
    // odd value: no start or duration, negative, fractional, day-long and longer durations, an
    // interval of days and months, a call running past midnight, starts with a fraction, at
    // midnight, at infinity, and numbers that are NULL, empty or not text a terminal shows.
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT "
        "(100 + n % 6)::text, CASE WHEN n % 11 = 0 THEN (100 + n % 6)::text ELSE (101 + n % "
        "9)::text END, make_interval(secs => (n * 37) % 5000 * (n % 4)), "
        "timestamp '2026-12-06 00:00:00' + make_interval(secs => (n * 7919) % 259200) "
        "FROM generate_series(1, 3000) n"));
    // And a call a day for years before: more days than the program sums up itself.
    QVERIFY(TestDatabase::exec(
        "INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime) SELECT '101', '102', "
        "make_interval(secs => n % 700), timestamp '2010-01-01 08:00:00' + make_interval(days "
        "=> n, secs => n * 13) FROM generate_series(0, 3100) n"));
    const QList<QStringList> odd = {
        {"101", "102", QString(), "2026-12-06 10:00:00"},
        {"101", "102", "00:03:00", QString()},
        {"101", "103", "-00:05:00", "2026-12-06 10:01:00"},
        {"102", "103", "00:01:30.5", "2026-12-06 10:02:10"},
        {"102", "101", "00:00:00.25", "2026-12-07 11:00:00"},
        {"103", "101", "24:00:00", "2026-12-07 12:00:00"},
        {"103", "102", "30:00:00", "2026-12-07 23:30:00"},
        {"104", "101", "1 day 02:00:00", "2026-12-07 13:00:00"},
        {"104", "101", "1 mon", "2026-12-08 13:00:00"},
        {"104", "101", "1 day -01:00:00", "2026-12-08 14:00:00"},
        {"104", "102", "1 year -8640:00:00", "2026-12-08 14:10:00"},
        {"104", "103", "-1 year 360 days", "2026-12-08 14:20:00"},
        {"104", "105", "1 mon -720:00:00", "2026-12-08 14:30:00"},
        {"104", "105", "1 year -8766:00:00", "2026-12-08 14:40:00"},
        {"105", "101", "02:00:00", "2026-12-06 23:59:59"},
        {"105", "101", "00:10:00", "2026-12-08 09:15:59.999999"},
        {"105", "102", "00:10:00", "2026-12-08 00:00:00"},
        {"105", "102", "00:10:00", "infinity"},
        {QString(), "102", "00:02:00", "2026-12-08 08:00:00"},
        {"101", QString(), "00:02:00", "2026-12-08 08:00:00"},
        {QString(), QString(), "00:02:00", "2026-12-08 08:01:00"},
        {"", "101", "00:00:00", "2026-12-08 08:01:00"},
        {"+44 1632 960777", "1\t0'1", "00:00:07", "2026-12-08 08:02:00"},
        {"-10", "-10", "00:00:00", "2026-12-08 08:03:00"},
    };
    for (const QStringList& call : odd)
        QVERIFY(TestDatabase::insertCall(call[0], call[1], call[2], call[3]));
}

void TestServerSummary::sumsEqualCallByCall_data() {
    QTest::addColumn<int>("by");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("direction");
    QTest::addColumn<bool>("digitsAnywhere");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    const QDate first(2026, 12, 6), last(2026, 12, 8);
    for (const auto by : {dbRoutines::SummedBy::Day, dbRoutines::SummedBy::Extension,
                          dbRoutines::SummedBy::Number}) {
        const char* byName = by == dbRoutines::SummedBy::Day         ? "by day"
                             : by == dbRoutines::SummedBy::Extension ? "by extension"
                                                                     : "by number";
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s, %s", byName, name) << int(by);
        };
        row("every call") << QString() << int(Direction::Both) << false << first << last;
        row("one day") << QString() << int(Direction::Both) << false << first.addDays(1)
                       << first.addDays(1);
        row("a week without calls") << QString() << int(Direction::Both) << false
                                    << QDate(2026, 11, 1) << QDate(2026, 11, 7);
        row("either side") << "101" << int(Direction::Both) << false << first << last;
        row("placed") << "102" << int(Direction::From) << false << first << last;
        row("received") << "101" << int(Direction::To) << false << first << last;
        row("digits anywhere") << "1632" << int(Direction::Both) << true << first << last;
        row("no odd calls") << "100" << int(Direction::From) << false << first << last;
        row("years of days") << QString() << int(Direction::Both) << false << QDate(2010, 1, 1)
                             << last;
    }
}

void TestServerSummary::sumsEqualCallByCall() {
    QFETCH(int, by);
    const bool byNumber = by != int(dbRoutines::SummedBy::Day);
    const QStringList extensions = {"", "-10", "101", "102", "103"};
    // Many numbers have as many calls as others: the top five ends among equals.
    const int top = by == int(dbRoutines::SummedBy::Extension) ? 1000 : 5;
    QFETCH(QString, number);
    QFETCH(int, direction);
    QFETCH(bool, digitsAnywhere);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    ReportFilter filter;
    filter.first = first;
    filter.last = last;
    if (!number.isNull())
        filter.number = number;
    filter.direction = Direction(direction);
    filter.digitsAnywhere = digitsAnywhere;

    Tallied oneByOne, summed;
    DayTally byCall([&](QDate day, const DayFigures& f) { oneByOne.days.emplace_back(day, f); });
    if (by == int(dbRoutines::SummedBy::Extension)) {
        oneByOne.numbers.restrictTo(extensions);
        summed.numbers.restrictTo(extensions);
    }
    QVERIFY(dbRoutines::ReadCalls(BuildReportQuery(filter), DbConnection::Rows::InBatches,
                                  [&](const dbRoutines::CallRecord& call) {
                                      const auto seconds = CallRows::DurationSecondsOf(
                                          call.duration, call.durationText);
                                      if (byNumber)
                                          oneByOne.numbers.add(call.callFrom, call.callTo, seconds);
                                      else
                                          byCall.add(call.start, seconds);
                                      return true;
                                  })
                .ok());
    byCall.finish();

    DayTally bySums([&](QDate day, const DayFigures& f) { summed.days.emplace_back(day, f); });
    const Result<bool> done =
        dbRoutines::SumUpAtServer(filter, dbRoutines::SummedBy(by), top, bySums, summed.numbers);
    QVERIFY2(done.ok(), qPrintable(done.reason()));
    QVERIFY(done.value);
    QCOMPARE(lines(summed, top), lines(oneByOne, top));
}

void TestServerSummary::otherColumnTypesAreLeftToTheProgram_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("durations as text")
        << "ALTER TABLE public.callhistory2 ALTER COLUMN dur TYPE text";
    QTest::newRow("starts with their zone")
        << "ALTER TABLE public.callhistory2 ALTER COLUMN starttime TYPE timestamptz";
}

void TestServerSummary::otherColumnTypesAreLeftToTheProgram() {
    QFETCH(QString, change);
    QVERIFY(TestDatabase::exec(change));
    ReportFilter filter;
    filter.first = QDate(2026, 12, 6);
    filter.last = QDate(2026, 12, 8);
    int daysDone = 0;
    DayTally days([&](QDate, const DayFigures&) { ++daysDone; });
    NumberTally numbers;
    const Result<bool> done =
        dbRoutines::SumUpAtServer(filter, dbRoutines::SummedBy::Day, 0, days, numbers);
    QVERIFY2(done.ok(), qPrintable(done.reason()));
    QVERIFY(!done.value);
    days.finish();
    QCOMPARE(daysDone, 0);
}

QTEST_GUILESS_MAIN(TestServerSummary)
#include "tst_serversummary.moc"

#include "timefunctions.h"

#include <QtTest>

using namespace TimeFunctions;

class TestTimeFunctions : public QObject {
    Q_OBJECT
private slots:
    void durationToMinutes_data();
    void durationToMinutes();
    void timeToMinuteOfDay_data();
    void timeToMinuteOfDay();
};

// A failure is given as NaN in the tables.
static const double kFails = std::numeric_limits<double>::quiet_NaN();

void TestTimeFunctions::durationToMinutes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("minutes");
    QTest::newRow("5.5") << "0:05:30" << 5.5;
    QTest::newRow("45 s") << "0:00:45" << 0.75;
    QTest::newRow("hour") << "1:02:00" << 62.0;
    QTest::newRow("zero") << "0:00:00" << 0.0;
    QTest::newRow("25 hours") << "25:00:00" << 1500.0;
    QTest::newRow("59 s not clamped") << "0:00:59" << 59.0 / 60;
    QTest::newRow("fraction kept") << "0:01:30" << 1.5;
    QTest::newRow("driver form") << "00:05:30" << 5.5;
    QTest::newRow("fourth field ignored") << "0:01:00:99" << 1.0;
    QTest::newRow("two fields") << "3:15" << kFails;
    QTest::newRow("no colon") << "90" << kFails;
    QTest::newRow("empty") << "" << kFails;
    QTest::newRow("letters") << "a:b:c" << kFails;
    QTest::newRow("empty field") << "0::30" << kFails;
    QTest::newRow("a day, as the database writes it") << "1 day 02:00:00" << 1560.0;
    QTest::newRow("days and a negative day") << "-1 days +02:00:00" << -1320.0;
    QTest::newRow("days alone") << "2 days" << 2880.0;
    QTest::newRow("a month counts 30 days") << "1 mon 00:00:01" << 43200.0 + 1.0 / 60;
    QTest::newRow("unknown unit") << "1 week 02:00:00" << kFails;
    QTest::newRow("exponent") << "1e308:0:0" << kFails;
    QTest::newRow("huge digits") << QString(400, u'9') + ":0:0" << kFails;
    QTest::newRow("longer than any interval") << "99999999999999999999:00:00" << kFails;
    QTest::newRow("the longest interval") << "2562047788:00:54" << 2562047788.0 * 60 + 0.9;
    QTest::newRow("just beyond the longest interval") << "2562047788:00:55" << kFails;
    QTest::newRow("beyond, backwards") << "-2562047788:00:55" << kFails;
    QTest::newRow("days beyond the longest interval") << "200000000 days" << kFails;
    QTest::newRow("negative, as the database writes it") << "-00:05:00" << -5.0;
    QTest::newRow("negative hours") << "-1:30:00" << -90.0;
}

void TestTimeFunctions::durationToMinutes() {
    QFETCH(QString, text);
    QFETCH(double, minutes);
    const auto result = DurationToMinutes(text);
    if (std::isnan(minutes)) {
        QVERIFY2(!result, qPrintable(QString::number(result.value_or(0))));
    } else {
        QVERIFY(result);
        QCOMPARE(*result, minutes);
    }
}

void TestTimeFunctions::timeToMinuteOfDay_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("minute");
    QTest::newRow("afternoon") << "3:15:42 PM" << 915.0;
    QTest::newRow("just after midnight") << "12:05:00 AM" << 5.0;
    QTest::newRow("after noon") << "12:30:10 PM" << 750.0;
    QTest::newRow("last minute") << "11:59:59 PM" << 1439.0;
    QTest::newRow("seconds dropped") << "9:07:59 AM" << 547.0;
    QTest::newRow("midnight") << "12:00:00 AM" << 0.0;
    QTest::newRow("noon") << "12:00:00 PM" << 720.0;
    QTest::newRow("one pm") << "1:00:00 PM" << 780.0;
    QTest::newRow("lower-case pm") << "3:15:42 pm" << 195.0;
    QTest::newRow("24-hour 12") << "12:10:00" << 10.0;
    QTest::newRow("24-hour 00") << "00:10:00" << 10.0;
    QTest::newRow("24-hour afternoon") << "15:15:42" << 915.0;
    QTest::newRow("012") << "012:00:00 PM" << 720.0;
    QTest::newRow("fourth field ignored") << "3:15:42 PM:7" << 915.0;
    QTest::newRow("no seconds") << "3:15" << kFails;
    QTest::newRow("date") << "8/23/2008" << kFails;
    QTest::newRow("empty") << "" << kFails;
    QTest::newRow("letters in hour") << "x:15:00 PM" << kFails;
    QTest::newRow("letters in minute") << "3:x:00 PM" << kFails;
}

void TestTimeFunctions::timeToMinuteOfDay() {
    QFETCH(QString, text);
    QFETCH(double, minute);
    const auto result = TimeToMinuteOfDay(text);
    if (std::isnan(minute)) {
        QVERIFY(!result);
    } else {
        QVERIFY(result);
        QCOMPARE(*result, minute);
    }
}

QTEST_GUILESS_MAIN(TestTimeFunctions)
#include "tst_timefunctions.moc"

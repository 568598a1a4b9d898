// The day figures of the capacity report from calls given directly, as the report reads them.
#include "callrows.h"
#include "capacity.h"
#include "textforms.h"

#include <QtTest>

namespace {
// Seconds as the call rows hold a start.
qint64 at(QDate day, int hour, int minute) {
    return *TextForms::StartSecondsOf({day.year(), day.month(), day.day(), hour, minute, 0});
}
const QDate kFirst(2026, 12, 7);
} // namespace

class TestCapacity : public QObject {
    Q_OBJECT
private slots:
    void busyHourTraffic();
    void callsWithoutStartOrDurationCountApart();
};

// A call from 10:30 to 11:30 gives half an hour to each; one from 23:30 to 00:30 gives half an
// hour to each day; the period's last day keeps what falls inside it.
void TestCapacity::busyHourTraffic() {
    calls::CapacityTally tally(kFirst, kFirst.addDays(2), 0.01);
    tally.add(at(kFirst, 10, 30), 3600);
    tally.add(at(kFirst, 10, 45), 600);
    tally.add(at(kFirst, 23, 30), 3600);
    tally.add(at(kFirst.addDays(2), 12, 0), 86400 * 3);
    const auto days = tally.days();
    QCOMPARE(days.size(), size_t(3));
    QCOMPARE(days[0].calls, 3);
    QCOMPARE(days[0].busyHour, 10);
    QCOMPARE(days[0].busyHourErlangs, 0.67);
    QCOMPARE(days[0].peakAtOnce, 2);
    QCOMPARE(days[0].peakMinute, 10 * 60 + 45);
    QCOMPARE(days[1].calls, 0);
    QCOMPARE(days[1].busyHour, 0);
    QCOMPARE(days[1].busyHourErlangs, 0.5);
    QCOMPARE(days[1].peakAtOnce, 0);
    QCOMPARE(days[1].peakMinute, std::nullopt);
    QCOMPARE(days[2].busyHour, 12);
    QCOMPARE(days[2].busyHourErlangs, 1.0);
    QCOMPARE(days[2].linesNeeded, 5);
    QCOMPARE(calls::HighestDay(days), &days[2]);
}

void TestCapacity::callsWithoutStartOrDurationCountApart() {
    calls::CapacityTally tally(kFirst, kFirst, 0.01);
    tally.add(CallRows::kStartIsText, 60);
    tally.add(CallRows::kNoStart, 60);
    tally.add(at(kFirst.addDays(1), 0, 0), 60); // after the period
    tally.add(at(kFirst, 9, 0), 0.0);
    tally.add(at(kFirst, 9, 0), std::nullopt);
    tally.add(at(kFirst, 9, 0), -30.0);
    const auto days = tally.days();
    QCOMPARE(days.size(), size_t(1));
    QCOMPARE(days[0].calls, 3);
    QCOMPARE(days[0].noTalkCalls, 1);
    QCOMPARE(days[0].talkSeconds, 0.0);
    QCOMPARE(days[0].busyHour, std::nullopt);
    QCOMPARE(days[0].linesNeeded, 0);
    // The chart draws a call of no length in its start minute; an unreadable one not at all.
    QCOMPARE(days[0].peakAtOnce, 2);
}

QTEST_GUILESS_MAIN(TestCapacity)
#include "tst_capacity.moc"

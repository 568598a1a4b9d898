#pragma once

#include <QDate>

#include <memory>
#include <optional>
#include <vector>

class MinuteCellsBuilder;

// The figures that size a phone system, day by day: how many calls were in progress at once,
// and the busy hour's traffic with the lines it needs.
namespace calls {

struct DayCapacity {
    QDate day;
    qint64 calls = 0;       // calls started that day
    qint64 noTalkCalls = 0; // of them, those whose talk time is zero
    double talkSeconds = 0; // their talk time
    int peakAtOnce = 0;     // the most calls in progress in one minute, as the chart shows them
    std::optional<int> peakMinute; // the first minute of the day with that many
    std::optional<int> busyHour;   // the clock hour with the most traffic; none without any
    double busyHourErlangs = 0;    // its traffic in erlangs, to two decimals
    int linesNeeded = 0;           // the fewest lines that carry its traffic at the target blocking
};

// Tallies the calls of a period, oldest first, into one DayCapacity per day. A call counts on
// the day it starts; its talk time is traffic in every clock hour it lasts into, on that day or
// the following ones of the period (10:30 to 11:30 gives half an hour to 10:00 and to 11:00).
// Calls in progress at once follow the chart's rule: a call covers its whole minutes from the
// start minute, cut at the end of its day.
class CapacityTally {
public:
    // `blocking` is the target as a fraction (0.01 for 1 %).
    CapacityTally(QDate first, QDate last, double blocking);
    ~CapacityTally();

    // A start in seconds as CallRows holds it (markers for none or text count nowhere); the
    // duration when it can be read.
    void add(qint64 startSeconds, std::optional<double> durationSeconds);
    // Every day of the period, first to last, days without calls included.
    std::vector<DayCapacity> days();

private:
    struct Day;
    void closeMinutes();

    QDate first_;
    qint64 firstDay_;
    double blocking_;
    std::vector<Day> days_;
    std::optional<qint64> minutesDay_; // the day whose calls fill minutes_
    std::unique_ptr<MinuteCellsBuilder> minutes_;
};

// The day that needs the most lines; between equals, the one with more traffic, then more calls
// at once, then the earlier. Nothing for no days.
const DayCapacity* HighestDay(const std::vector<DayCapacity>& days);

} // namespace calls

#pragma once

#include "minutecells.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

// What the summaries count, call by call as the calls are read. A call counts where its start
// is a real date and time; its talk time where its duration can be read and is not negative;
// and it is in progress in the minutes the chart would draw for it. A duration of zero is a
// call without talk time; one that cannot be read is neither with nor without.
namespace Activity {

struct HourFigures {
    qint64 calls = 0;       // calls started in the hour
    double talkSeconds = 0; // their talk time
    int mostAtOnce = 0;     // the most calls in progress in one minute of the hour
    qint64 noTalkCalls = 0; // calls whose talk time is zero
    qint64 talkedCalls = 0; // calls with talk time
};
using DayFigures = std::array<HourFigures, 24>;

// The hour with the most calls in progress at once; between equals, the one where more calls
// started, then the earlier. Nothing on a day without calls.
std::optional<int> BusiestHour(const DayFigures& day);

// The hour in which the most calls started; between equals, the earlier. Nothing when no call
// started.
std::optional<int> MostCallsStartedHour(const DayFigures& day);

// Tallies the calls of one day after another (the calls come oldest first) and hands each day's
// figures on when its last call has been added.
class DayTally {
public:
    using DayDone = std::function<void(QDate, const DayFigures&)>;
    explicit DayTally(DayDone done) : done_(std::move(done)) {}

    void add(qint64 startSeconds, std::optional<double> durationSeconds);
    // Calls counted elsewhere, on the day of the given start seconds (midnight): those that
    // started in the minute, with their talk figures (mostAtOnce unused); and so many more
    // calls in progress from the minute on (fewer, when negative). The days come in order,
    // mixed with the calls added one by one.
    void addStarted(qint64 daySeconds, int minute, const HourFigures& started);
    void addInProgress(qint64 daySeconds, int minute, int change);
    void finish();

private:
    void moveTo(qint64 day);

    DayDone done_;
    std::optional<qint64> day_;
    DayFigures figures_{};
    MinuteCellsBuilder inProgress_;
};

// Adds a call's talk to an hour's or a number's figures: its talk time, or that it had none
// (an unknown length counts as neither).
template <typename Figures>
void CountTalk(Figures& figures, std::optional<double> durationSeconds) {
    if (!durationSeconds)
        return;
    if (*durationSeconds > 0) {
        figures.talkSeconds += *durationSeconds;
        ++figures.talkedCalls;
    } else if (*durationSeconds == 0) {
        ++figures.noTalkCalls;
    }
}

// Calls placed, received and their talk time, for one number.
struct NumberFigures {
    qint64 placed = 0;
    qint64 received = 0;
    double talkSeconds = 0;
    qint64 noTalkCalls = 0;
    qint64 talkedCalls = 0;
    qint64 calls() const { return placed + received; }
};

// The figures of each number that takes part in a call, either side; a call to itself counts
// once.
class NumberTally {
public:
    void add(QByteArrayView from, QByteArrayView to, std::optional<double> durationSeconds);
    // Only these numbers are counted, when given (the extension list).
    void restrictTo(const QStringList& numbers);
    // Figures counted elsewhere for a number.
    void addCounted(QByteArrayView number, const NumberFigures& counted);
    NumberFigures figures(const QByteArray& number) const { return figures_.value(number); }
    // The numbers with the most calls, most first; equals in the order of their text.
    std::vector<std::pair<QByteArray, NumberFigures>> top(int count) const;

private:
    NumberFigures* find(QByteArrayView number);

    QHash<QByteArray, NumberFigures> figures_;
    bool restricted_ = false;
};

} // namespace Activity

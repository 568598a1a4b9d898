#include "capacity.h"

#include "callcells.h"
#include "erlangb.h"
#include "minutecells.h"
#include "textforms.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace calls {

namespace {
constexpr qint64 kSecondsPerDay = 86400;
constexpr qint64 kSecondsPerHour = 3600;
// The count of days before the date, as the start seconds of CallRows count them.
qint64 dayNumber(QDate date) {
    const auto start = TextForms::StartSecondsOf({date.year(), date.month(), date.day()});
    return start ? *start / kSecondsPerDay : 0;
}
} // namespace

struct CapacityTally::Day {
    DayCapacity figures;
    std::array<double, 24> hourSeconds{};
};

CapacityTally::CapacityTally(QDate first, QDate last, double blocking)
    : first_(first), firstDay_(dayNumber(first)), blocking_(blocking) {
    days_.resize(size_t(std::max<qint64>(first.daysTo(last) + 1, 0)));
    for (size_t i = 0; i < days_.size(); ++i)
        days_[i].figures.day = first.addDays(qint64(i));
}

CapacityTally::~CapacityTally() = default;

void CapacityTally::add(qint64 startSeconds, std::optional<double> durationSeconds) {
    if (startSeconds < 0)
        return; // a start kept as text, or none: it belongs to no day
    const qint64 index = startSeconds / kSecondsPerDay - firstDay_;
    if (index < 0 || index >= qint64(days_.size()))
        return;
    Day& day = days_[size_t(index)];
    ++day.figures.calls;
    if (durationSeconds && *durationSeconds == 0)
        ++day.figures.noTalkCalls;

    if (minutesDay_ != index) {
        closeMinutes();
        minutesDay_ = index;
        minutes_ = std::make_unique<MinuteCellsBuilder>();
    }
    if (const auto covered = ChartedMinutesOf(startSeconds, durationSeconds))
        minutes_->add(*covered, false);

    if (!durationSeconds || !(*durationSeconds > 0))
        return;
    day.figures.talkSeconds += *durationSeconds;
    // Spread the call over the clock hours it lasts into, up to the end of the period.
    const double end = double(startSeconds) + *durationSeconds;
    const double periodEnd = double((firstDay_ + qint64(days_.size())) * kSecondsPerDay);
    double from = double(startSeconds);
    qint64 hour = startSeconds / kSecondsPerHour;
    while (from < end && from < periodEnd) {
        const double hourEnd = double((hour + 1) * kSecondsPerHour);
        const double until = std::min(end, hourEnd);
        const qint64 dayIndex = hour / 24 - firstDay_;
        days_[size_t(dayIndex)].hourSeconds[size_t(hour % 24)] += until - from;
        from = until;
        ++hour;
    }
}

void CapacityTally::closeMinutes() {
    if (!minutesDay_ || !minutes_)
        return;
    DayCapacity& figures = days_[size_t(*minutesDay_)].figures;
    const auto counts = minutes_->callsInProgress();
    for (int minute = 0; minute < kMinutesPerDay; ++minute) {
        if (counts[size_t(minute)] > figures.peakAtOnce) {
            figures.peakAtOnce = counts[size_t(minute)];
            figures.peakMinute = minute;
        }
    }
    minutesDay_.reset();
    minutes_.reset();
}

std::vector<DayCapacity> CapacityTally::days() {
    closeMinutes();
    std::vector<DayCapacity> result;
    result.reserve(days_.size());
    for (Day& day : days_) {
        DayCapacity& figures = day.figures;
        const auto busiest = std::max_element(day.hourSeconds.begin(), day.hourSeconds.end());
        if (*busiest > 0) {
            figures.busyHour = int(busiest - day.hourSeconds.begin());
            const double erlangs = *busiest / kSecondsPerHour;
            figures.busyHourErlangs = std::round(erlangs * 100) / 100;
            // From the traffic itself: a few seconds still need a line.
            figures.linesNeeded = LinesNeeded(erlangs, blocking_);
        }
        result.push_back(figures);
    }
    return result;
}

const DayCapacity* HighestDay(const std::vector<DayCapacity>& days) {
    const DayCapacity* highest = nullptr;
    for (const DayCapacity& day : days) {
        if (!highest ||
            std::tuple(day.linesNeeded, day.busyHourErlangs, day.peakAtOnce) >
                std::tuple(highest->linesNeeded, highest->busyHourErlangs, highest->peakAtOnce))
            highest = &day;
    }
    return highest;
}

} // namespace calls

#include "activity.h"

#include "callcells.h"
#include "textforms.h"

#include <algorithm>

namespace Activity {

namespace {
constexpr qint64 kSecondsPerDay = 86400;
}

std::optional<int> BusiestHour(const DayFigures& day) {
    std::optional<int> busiest;
    for (int hour = 0; hour < 24; ++hour) {
        const HourFigures& figures = day[size_t(hour)];
        if (figures.mostAtOnce == 0 && figures.calls == 0)
            continue;
        if (!busiest)
            busiest = hour;
        const HourFigures& best = day[size_t(*busiest)];
        if (figures.mostAtOnce > best.mostAtOnce ||
            (figures.mostAtOnce == best.mostAtOnce && figures.calls > best.calls))
            busiest = hour;
    }
    return busiest;
}

std::optional<int> MostCallsStartedHour(const DayFigures& day) {
    std::optional<int> most;
    for (int hour = 0; hour < 24; ++hour) {
        const qint64 calls = day[size_t(hour)].calls;
        if (calls > 0 && (!most || calls > day[size_t(*most)].calls))
            most = hour;
    }
    return most;
}

void DayTally::add(qint64 startSeconds, std::optional<double> durationSeconds) {
    if (startSeconds < 0)
        return; // a start kept as text, or none: it belongs to no day
    moveTo(startSeconds / kSecondsPerDay);
    HourFigures& hour = figures_[size_t(TextForms::SecondOfDay(startSeconds) / 3600)];
    ++hour.calls;
    CountTalk(hour, durationSeconds);
    if (const auto covered = ChartedMinutesOf(startSeconds, durationSeconds))
        inProgress_.add(*covered, false);
}

void DayTally::moveTo(qint64 day) {
    if (day_ && *day_ != day)
        finish();
    day_ = day;
}

void DayTally::addStarted(qint64 daySeconds, int minute, const HourFigures& started) {
    moveTo(daySeconds / kSecondsPerDay);
    HourFigures& hour = figures_[size_t(minute / 60)];
    hour.calls += started.calls;
    hour.talkSeconds += started.talkSeconds;
    hour.talkedCalls += started.talkedCalls;
    hour.noTalkCalls += started.noTalkCalls;
    inProgress_.addChange(minute, int(started.calls));
}

void DayTally::addInProgress(qint64 daySeconds, int minute, int change) {
    moveTo(daySeconds / kSecondsPerDay);
    inProgress_.addChange(minute, change);
}

void DayTally::finish() {
    if (!day_)
        return;
    const auto counts = inProgress_.callsInProgress();
    for (int minute = 0; minute < kMinutesPerDay; ++minute) {
        int& most = figures_[size_t(minute / 60)].mostAtOnce;
        most = std::max(most, counts[size_t(minute)]);
    }
    const TextForms::DateTimeFields at = TextForms::FieldsOfStartSeconds(*day_ * kSecondsPerDay);
    done_(QDate(at.year, at.month, at.day), figures_);
    day_.reset();
    figures_ = {};
    inProgress_ = {};
}

void NumberTally::restrictTo(const QStringList& numbers) {
    restricted_ = true;
    for (const QString& number : numbers)
        figures_.insert(number.toUtf8(), {});
}

NumberFigures* NumberTally::find(QByteArrayView number) {
    if (number.isNull())
        return nullptr;
    if (restricted_) {
        const auto it = figures_.find(number.toByteArray());
        return it == figures_.end() ? nullptr : &it.value();
    }
    return &figures_[number.toByteArray()];
}

void NumberTally::add(QByteArrayView from, QByteArrayView to,
                      std::optional<double> durationSeconds) {
    if (NumberFigures* caller = find(from)) {
        ++caller->placed;
        CountTalk(*caller, durationSeconds);
    }
    if (to == from)
        return;
    if (NumberFigures* called = find(to)) {
        ++called->received;
        CountTalk(*called, durationSeconds);
    }
}

void NumberTally::addCounted(QByteArrayView number, const NumberFigures& counted) {
    if (NumberFigures* figures = find(number)) {
        figures->placed += counted.placed;
        figures->received += counted.received;
        figures->talkSeconds += counted.talkSeconds;
        figures->talkedCalls += counted.talkedCalls;
        figures->noTalkCalls += counted.noTalkCalls;
    }
}

std::vector<std::pair<QByteArray, NumberFigures>> NumberTally::top(int count) const {
    const auto first = [](const auto& a, const auto& b) {
        return a.second.calls() != b.second.calls() ? a.second.calls() > b.second.calls()
                                                    : a.first < b.first;
    };
    // Only the numbers kept are copied, in a heap whose front is the last of them: a million
    // numbers met take no second table of them all.
    const size_t kept = std::min(size_t(figures_.size()), size_t(std::max(count, 0)));
    std::vector<std::pair<QByteArray, NumberFigures>> top;
    top.reserve(kept);
    for (auto it = figures_.cbegin(); kept > 0 && it != figures_.cend(); ++it) {
        const std::pair<QByteArray, NumberFigures> candidate(it.key(), it.value());
        if (top.size() < kept) {
            top.push_back(candidate);
            std::push_heap(top.begin(), top.end(), first);
        } else if (first(candidate, top.front())) {
            std::pop_heap(top.begin(), top.end(), first);
            top.back() = candidate;
            std::push_heap(top.begin(), top.end(), first);
        }
    }
    std::sort_heap(top.begin(), top.end(), first);
    return top;
}

} // namespace Activity

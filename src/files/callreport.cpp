#include "callreport.h"

#include <algorithm>

namespace files {

namespace {
// The report sizes the lines for the blocking `capacity` takes by default.
constexpr double kReportBlocking = 0.01;
} // namespace

CallReportTally::CallReportTally(const ReportFilter& filter, const QStringList& extensions, int top)
    : filter_(filter), extensions_(extensions), top_(top),
      tally_([this](QDate day, const Activity::DayFigures& figures) {
          qint64 calls = 0;
          const int weekday = day.dayOfWeek() - 1;
          for (size_t h = 0; h < 24; ++h) {
              const Activity::HourFigures& hour = figures[h];
              calls += hour.calls;
              hours_[h].calls += hour.calls;
              hours_[h].talkSeconds += hour.talkSeconds;
              hours_[h].mostAtOnce = std::max(hours_[h].mostAtOnce, hour.mostAtOnce);
              figures_.callsByWeekdayHour[size_t(weekday)][h] += hour.calls;
          }
          days_.emplace_back(day, calls);
          dayFigures_.emplace_back(day, figures);
      }),
      capacity_(filter.first, filter.last, kReportBlocking) {
    extensionTally_.restrictTo(extensions);
}

void CallReportTally::addCall(QByteArrayView from, QByteArrayView to, qint64 start,
                              std::optional<double> seconds) {
    ++figures_.calls;
    if (seconds && *seconds > 0)
        figures_.talkSeconds += *seconds;
    capacity_.add(start, seconds);
    if (countsDone_)
        return;
    tally_.add(start, seconds);
    extensionTally_.add(from, to, seconds);
    numberTally_.add(from, to, seconds);
}

ReportFigures CallReportTally::daysDone() {
    if (daysDone_)
        return counts_;
    daysDone_ = true;
    tally_.finish();
    ReportFigures& counts = counts_;
    counts.callsByWeekdayHour = figures_.callsByWeekdayHour;
    for (size_t h = 0; h < 24; ++h) {
        counts.callsByHour[h] = hours_[h].calls;
        counts.peakAtOnce = std::max(counts.peakAtOnce, hours_[h].mostAtOnce);
    }
    counts.busiestHour = Activity::BusiestHour(hours_);
    // Every day of the period, those without calls too.
    size_t next = 0;
    for (QDate day = filter_.first; day.isValid() && day <= filter_.last; day = day.addDays(1)) {
        while (next < days_.size() && days_[next].first < day)
            ++next;
        const bool counted = next < days_.size() && days_[next].first == day;
        counts.callsByDay.emplace_back(day, counted ? days_[next].second : 0);
    }
    return counts;
}

ReportFigures CallReportTally::countsDone() {
    if (countsDone_)
        return counts_;
    (void)daysDone(); // kept in counts_
    countsDone_ = true;
    ReportFigures& counts = counts_;
    const auto row = [](const QByteArray& number, const Activity::NumberFigures& f) {
        return NumberRow{number, f.placed, f.received, f.talkSeconds};
    };
    for (const QString& extension : extensions_) {
        const QByteArray number = extension.toUtf8();
        counts.extensions.push_back(row(number, extensionTally_.figures(number)));
    }
    for (const auto& [number, f] : numberTally_.top(top_))
        counts.topNumbers.push_back(row(number, f));
    return counts;
}

ReportFigures CallReportTally::finish(const QDateTime& made) {
    ReportFigures figures = countsDone();
    figures.first = filter_.first;
    figures.last = filter_.last;
    figures.filter = FilterText(filter_);
    figures.made = made;
    figures.calls = figures_.calls;
    figures.talkSeconds = figures_.talkSeconds;
    qint64 withoutTalk = 0;
    int lines = 0;
    capacityDays_ = capacity_.days();
    for (const calls::DayCapacity& day : capacityDays_) {
        withoutTalk += day.noTalkCalls;
        lines = std::max(lines, day.linesNeeded);
    }
    figures.capacity.callsWithoutTalk = withoutTalk;
    figures.capacity.linesNeeded = lines;
    return figures;
}

QString FilterText(const ReportFilter& filter) {
    if (!filter.number)
        return QStringLiteral("every call");
    const QString direction = filter.direction == Direction::To     ? QStringLiteral("calls to")
                              : filter.direction == Direction::From ? QStringLiteral("calls from")
                                                                    : QStringLiteral("calls of");
    return QStringLiteral("%1 %2%3").arg(
        direction, *filter.number,
        filter.digitsAnywhere ? QStringLiteral(" (its digits anywhere in a number)") : QString());
}

} // namespace files

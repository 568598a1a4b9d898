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
    tally_.add(start, seconds);
    capacity_.add(start, seconds);
    extensionTally_.add(from, to, seconds);
    numberTally_.add(from, to, seconds);
}

ReportFigures CallReportTally::finish(const QDateTime& made) {
    tally_.finish();
    ReportFigures figures = std::move(figures_);
    figures.first = filter_.first;
    figures.last = filter_.last;
    figures.filter = FilterText(filter_);
    figures.made = made;
    for (size_t h = 0; h < 24; ++h) {
        figures.callsByHour[h] = hours_[h].calls;
        figures.peakAtOnce = std::max(figures.peakAtOnce, hours_[h].mostAtOnce);
    }
    figures.busiestHour = Activity::BusiestHour(hours_);
    qint64 withoutTalk = 0;
    int lines = 0;
    capacityDays_ = capacity_.days();
    for (const calls::DayCapacity& day : capacityDays_) {
        withoutTalk += day.noTalkCalls;
        lines = std::max(lines, day.linesNeeded);
    }
    figures.capacity.callsWithoutTalk = withoutTalk;
    figures.capacity.linesNeeded = lines;
    // Every day of the period, those without calls too.
    size_t next = 0;
    for (QDate day = filter_.first; day.isValid() && day <= filter_.last; day = day.addDays(1)) {
        while (next < days_.size() && days_[next].first < day)
            ++next;
        const bool counted = next < days_.size() && days_[next].first == day;
        figures.callsByDay.emplace_back(day, counted ? days_[next].second : 0);
    }
    const auto row = [](const QByteArray& number, const Activity::NumberFigures& f) {
        return NumberRow{number, f.placed, f.received, f.talkSeconds};
    };
    for (const QString& extension : extensions_) {
        const QByteArray number = extension.toUtf8();
        figures.extensions.push_back(row(number, extensionTally_.figures(number)));
    }
    for (const auto& [number, f] : numberTally_.top(top_))
        figures.topNumbers.push_back(row(number, f));
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

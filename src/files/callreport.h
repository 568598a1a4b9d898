#pragma once

#include "activity.h"
#include "callrows.h"
#include "capacity.h"
#include "reportfigures.h"
#include "searchquery.h"

#include <QStringList>

// The figures of the call report, tallied call by call by the same rules as the summaries, so
// that the report, `summary` and the reports window always agree.
namespace files {

class CallReportTally {
public:
    // extensions: the phone system's extension list, for the table of extensions; top: how many
    // of the numbers with the most calls the report lists.
    CallReportTally(const ReportFilter& filter, const QStringList& extensions, int top);

    // A call as the database layer reads it (numbers, start and duration as CallRows keeps
    // them).
    template <typename Call> void add(const Call& call) {
        addCall(call.callFrom, call.callTo, call.start,
                CallRows::DurationSecondsOf(call.duration, call.durationText));
    }
    void addCall(QByteArrayView from, QByteArrayView to, qint64 start,
                 std::optional<double> seconds);

    // The figures of the days and the numbers counted by the server instead: fill dayTally(),
    // then extensionTally() and numberTally(), before any call is added, then take
    // countsDone(). The calls added after it count towards the totals and the capacity only.
    Activity::DayTally& dayTally() { return tally_; }
    Activity::NumberTally& extensionTally() { return extensionTally_; }
    Activity::NumberTally& numberTally() { return numberTally_; }
    // The figures of the days (by hour, by weekday and hour, by day), once the day tally is
    // full.
    files::ReportFigures daysDone();
    // Those and the figures of the numbers, which no later call changes; the totals and the
    // capacity are not yet known in them.
    files::ReportFigures countsDone();
    // The figures of every call added; the lines needed are those of the period's highest day
    // at 1% blocking, as `capacity` reckons them.
    files::ReportFigures finish(const QDateTime& made);

    // What the figures are made of, for a window that shows more of them than the report
    // prints; after finish(). Every day with calls and its hours, oldest first:
    const std::vector<std::pair<QDate, Activity::DayFigures>>& dayFigures() const {
        return dayFigures_;
    }
    // Every day of the period as `capacity` reckons it.
    const std::vector<calls::DayCapacity>& capacityDays() const { return capacityDays_; }
    const Activity::NumberTally& extensionTally() const { return extensionTally_; }
    const Activity::NumberTally& numberTally() const { return numberTally_; }

private:
    ReportFilter filter_;
    QStringList extensions_;
    int top_;
    files::ReportFigures figures_;
    files::ReportFigures counts_; // once daysDone(), then countsDone()
    bool daysDone_ = false, countsDone_ = false;
    Activity::DayFigures hours_{};
    std::vector<std::pair<QDate, qint64>> days_;
    Activity::DayTally tally_;
    Activity::NumberTally extensionTally_, numberTally_;
    calls::CapacityTally capacity_;
    std::vector<std::pair<QDate, Activity::DayFigures>> dayFigures_;
    std::vector<calls::DayCapacity> capacityDays_;
};

// The filter in words: "every call" or "101, both directions".
QString FilterText(const ReportFilter& filter);

} // namespace files

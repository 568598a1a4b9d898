#pragma once

#include "activity.h"
#include "capacity.h"
#include "dbroutines.h"
#include "reportfigures.h"
#include "searchquery.h"

#include <QStringList>

// The figures of the call report, tallied call by call by the same rules as the summaries, so
// that the report and `summary` always agree. The window's report export uses the same.
namespace cli {

class CallReportTally {
public:
    // extensions: the phone system's extension list, for the table of extensions; top: how many
    // of the numbers with the most calls the report lists.
    CallReportTally(const ReportFilter& filter, const QStringList& extensions, int top);

    void add(const dbRoutines::CallRecord& call);
    // The figures of every call added; the lines needed are those of the period's highest day
    // at 1% blocking, as `capacity` reckons them.
    files::ReportFigures finish(const QDateTime& made);

private:
    ReportFilter filter_;
    QStringList extensions_;
    int top_;
    files::ReportFigures figures_;
    Activity::DayFigures hours_{};
    std::vector<std::pair<QDate, qint64>> days_;
    Activity::DayTally tally_;
    Activity::NumberTally extensionTally_, numberTally_;
    calls::CapacityTally capacity_;
};

// The filter in words: "every call" or "101, both directions".
QString FilterText(const ReportFilter& filter);

} // namespace cli

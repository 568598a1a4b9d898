#pragma once

#include "activity.h"
#include "callreport.h"
#include "callrows.h"
#include "capacity.h"
#include "reportworker.h"
#include "samenumber.h"
#include "searchquery.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The figures of a period's days and numbers; no call read later changes them.
struct ReportCounts {
    struct DayRow {
        QDate day;
        Activity::DayFigures hours;
    };
    using NumberRows = std::vector<std::pair<QByteArray, Activity::NumberFigures>>;
    files::ReportFigures figures; // by hour, by weekday and hour, by day; not the totals
    std::vector<DayRow> days;
    bool numbersCounted = false; // else the two below are yet to come
    NumberRows extensions, topNumbers;
};

// Everything the reports window shows of one period, tallied call by call on the worker's
// thread by the call report's own tally (once: a million calls are tallied in one pass), so
// that the window and the terminal's files agree.
class ReportTally : public ReportWorker::Job {
public:
    // How many of the numbers with the most calls are listed.
    static constexpr int kTopNumbers = 20;

    // Hands on counts found before the calls are read, on the window's thread.
    using CountsFound = std::function<void(std::shared_ptr<const ReportCounts>)>;

    // sameNumber: when given, each call found is confirmed to be one of that number's.
    // countsFound: when given, the figures of the days, then those of the numbers, are summed up
    // by the server before the calls are read and handed on, so that they can be shown while
    // the calls are still being listed; without it (or for a same number) every figure is
    // tallied from the calls as they come.
    ReportTally(const ReportFilter& filter, std::shared_ptr<const calls::SameNumber> sameNumber,
                CountsFound countsFound = {});

    // Reads the extension list, for the table of extensions, and the server's sums when the
    // counts come first.
    Status prepare(const ConnectionSettings& settings, const ReportWorker::HandOn& handOn) override;
    void add(const dbRoutines::CallRecord& call) override;
    void finish() override;

    // Whether the counts are summed up by the server before the calls are read.
    bool countsFirst() const { return bool(countsFound_); }

    // The calls read since the last time, for the list; thread-safe.
    CallRows takeCalls();

    // After finish(): the counts, found first or tallied, and the rest.
    std::shared_ptr<const ReportCounts> counts() const { return counts_; }
    const files::ReportFigures& figures() const { return figures_; }
    const std::vector<calls::DayCapacity>& capacity() const { return capacity_; }

private:
    Status sumUpAtServer(const ConnectionSettings& settings, const ReportWorker::HandOn& handOn);
    std::shared_ptr<ReportCounts> takeDays();
    void takeNumbers(ReportCounts& counts);

    ReportFilter filter_;
    CountsFound countsFound_;
    QStringList extensionList_;
    std::shared_ptr<const calls::SameNumber> sameNumber_;
    // Let go once finished: its table of every number met is the report's largest part.
    std::optional<files::CallReportTally> report_;

    std::mutex callsMutex_;
    CallRows calls_;

    std::shared_ptr<const ReportCounts> counts_;
    files::ReportFigures figures_;
    std::vector<calls::DayCapacity> capacity_;
};

#pragma once

#include "activity.h"
#include "callreport.h"
#include "callrows.h"
#include "capacity.h"
#include "reportworker.h"
#include "samenumber.h"
#include "searchquery.h"

#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Everything the reports window shows of one period, tallied call by call on the worker's
// thread by the call report's own tally (once: a million calls are tallied in one pass), so
// that the window and the terminal's files agree.
class ReportTally : public ReportWorker::Job {
public:
    // How many of the numbers with the most calls are listed.
    static constexpr int kTopNumbers = 20;

    // sameNumber: when given, each call found is confirmed to be one of that number's.
    ReportTally(const ReportFilter& filter, std::shared_ptr<const calls::SameNumber> sameNumber);

    // Reads the extension list, for the table of extensions.
    Status prepare() override;
    void add(const dbRoutines::CallRecord& call) override;
    void finish() override;

    // The calls read since the last time, for the list; thread-safe.
    CallRows takeCalls();

    // After finish():
    struct DayRow {
        QDate day;
        Activity::DayFigures hours;
    };
    const std::vector<DayRow>& days() const { return days_; }
    const files::ReportFigures& figures() const { return figures_; }
    const std::vector<calls::DayCapacity>& capacity() const { return capacity_; }
    const std::vector<std::pair<QByteArray, Activity::NumberFigures>>& extensions() const {
        return extensionRows_;
    }
    const std::vector<std::pair<QByteArray, Activity::NumberFigures>>& topNumbers() const {
        return topRows_;
    }
    const ReportFilter& filter() const { return filter_; }

private:
    ReportFilter filter_;
    QStringList extensionList_;
    std::shared_ptr<const calls::SameNumber> sameNumber_;
    // Let go once finished: its table of every number met is the report's largest part.
    std::optional<files::CallReportTally> report_;

    std::mutex callsMutex_;
    CallRows calls_;

    std::vector<DayRow> days_;
    files::ReportFigures figures_;
    std::vector<calls::DayCapacity> capacity_;
    std::vector<std::pair<QByteArray, Activity::NumberFigures>> extensionRows_, topRows_;
};

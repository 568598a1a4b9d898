#include "reporttally.h"

#include "serversummary.h"

#include <QDateTime>

ReportTally::ReportTally(const ReportFilter& filter,
                         std::shared_ptr<const calls::SameNumber> sameNumber,
                         CountsFound countsFound)
    : filter_(filter), countsFound_(sameNumber ? CountsFound() : std::move(countsFound)),
      sameNumber_(std::move(sameNumber)) {}

Status ReportTally::prepare(const ConnectionSettings& settings,
                            const ReportWorker::HandOn& handOn) {
    Result<QStringList> extensions = dbRoutines::FillExtensionList(settings);
    if (!extensions)
        return Status::failure(QStringLiteral("The extension list failed: ") + extensions.reason());
    extensionList_ = std::move(extensions.value);
    report_.emplace(filter_, extensionList_, kTopNumbers);
    return countsFound_ ? sumUpAtServer(settings, handOn) : Status();
}

Status ReportTally::sumUpAtServer(const ConnectionSettings& settings,
                                  const ReportWorker::HandOn& handOn) {
    using dbRoutines::SummedBy;
    Activity::DayTally noDays([](QDate, const Activity::DayFigures&) {});
    Activity::NumberTally noNumbers;
    // False when the database keeps a value the sums do not read: every figure is then
    // tallied from the calls after all.
    const auto summedUp = [&](SummedBy by, Activity::DayTally& days,
                              Activity::NumberTally& numbers) {
        return dbRoutines::SumUpAtServer(settings, filter_, by, kTopNumbers, days, numbers);
    };
    const auto tallyFromCalls = [&](const Result<bool>& summed) {
        report_.emplace(filter_, extensionList_, kTopNumbers);
        return summed.status;
    };
    const auto handOnCounts = [&](std::shared_ptr<const ReportCounts> counts) {
        handOn([found = countsFound_, counts = std::move(counts)] { found(counts); });
    };
    // The figures of the days first: the numbers' sums take longer.
    Result<bool> summed = summedUp(SummedBy::Day, report_->dayTally(), noNumbers);
    if (!summed || !summed.value)
        return tallyFromCalls(summed);
    std::shared_ptr<ReportCounts> days = takeDays();
    handOnCounts(days);
    summed = summedUp(SummedBy::Extension, noDays, report_->extensionTally());
    if (summed && summed.value)
        summed = summedUp(SummedBy::Number, noDays, report_->numberTally());
    if (!summed || !summed.value)
        return tallyFromCalls(summed);
    auto counts = std::make_shared<ReportCounts>(*days);
    takeNumbers(*counts);
    counts_ = counts;
    handOnCounts(std::move(counts));
    return {};
}

std::shared_ptr<ReportCounts> ReportTally::takeDays() {
    auto counts = std::make_shared<ReportCounts>();
    counts->figures = report_->daysDone();
    for (const auto& [day, hours] : report_->dayFigures())
        counts->days.push_back({day, hours});
    return counts;
}

void ReportTally::takeNumbers(ReportCounts& counts) {
    counts.figures = report_->countsDone();
    counts.numbersCounted = true;
    for (const QString& extension : extensionList_) {
        const QByteArray number = extension.toUtf8();
        counts.extensions.emplace_back(number, report_->extensionTally().figures(number));
    }
    counts.topNumbers = report_->numberTally().top(kTopNumbers);
}

void ReportTally::add(const dbRoutines::CallRecord& call) {
    if (sameNumber_ && sameNumber_->isPhoneNumber() &&
        !sameNumber_->takesPart(call.callFrom, call.callTo, filter_.direction))
        return;
    report_->add(call);
    std::lock_guard lock(callsMutex_);
    (void)calls_.append(call.callFrom, call.callTo, call.start, call.duration, call.startText,
                        call.durationText);
}

void ReportTally::finish() {
    if (!counts_) {
        std::shared_ptr<ReportCounts> counts = takeDays();
        takeNumbers(*counts);
        counts_ = std::move(counts);
    }
    figures_ = report_->finish(QDateTime::currentDateTime());
    capacity_ = report_->capacityDays();
    report_.reset();
}

CallRows ReportTally::takeCalls() {
    std::lock_guard lock(callsMutex_);
    CallRows taken = std::move(calls_);
    calls_ = CallRows();
    return taken;
}

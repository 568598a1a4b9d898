#include "reporttally.h"

#include <QDateTime>

ReportTally::ReportTally(const ReportFilter& filter,
                         std::shared_ptr<const calls::SameNumber> sameNumber)
    : filter_(filter), sameNumber_(std::move(sameNumber)),
      dayTally_([this](QDate day, const Activity::DayFigures& hours) {
          days_.push_back({day, hours});
      }),
      capacityTally_(filter.first, filter.last, kBlocking) {}

Status ReportTally::prepare() {
    Result<QStringList> extensions = dbRoutines::FillExtensionList();
    if (!extensions)
        return Status::failure(QStringLiteral("The extension list failed: ") + extensions.reason());
    extensionList_ = std::move(extensions.value);
    extensionTally_.restrictTo(extensionList_);
    report_.emplace(filter_, extensionList_, kTopNumbers);
    return {};
}

void ReportTally::add(const dbRoutines::CallRecord& call) {
    if (sameNumber_ && sameNumber_->isPhoneNumber() &&
        !sameNumber_->takesPart(call.callFrom, call.callTo, filter_.direction))
        return;
    const auto seconds = CallRows::DurationSecondsOf(call.duration, call.durationText);
    report_->add(call);
    dayTally_.add(call.start, seconds);
    capacityTally_.add(call.start, seconds);
    extensionTally_.add(call.callFrom, call.callTo, seconds);
    numberTally_.add(call.callFrom, call.callTo, seconds);
    std::lock_guard lock(callsMutex_);
    (void)calls_.append(call.callFrom, call.callTo, call.start, call.duration, call.startText,
                        call.durationText);
}

void ReportTally::finish() {
    dayTally_.finish();
    figures_ = report_->finish(QDateTime::currentDateTime());
    capacity_ = capacityTally_.days();
    // The capacity reckoning completes the report's totals.
    qint64 noTalk = 0;
    int lines = 0;
    for (const calls::DayCapacity& day : capacity_) {
        noTalk += day.noTalkCalls;
        lines = std::max(lines, day.linesNeeded);
    }
    figures_.capacity.callsWithoutTalk = noTalk;
    figures_.capacity.linesNeeded = lines;
    for (const QString& extension : extensionList_) {
        const QByteArray number = extension.toUtf8();
        extensionRows_.emplace_back(number, extensionTally_.figures(number));
    }
    topRows_ = numberTally_.top(kTopNumbers);
}

CallRows ReportTally::takeCalls() {
    std::lock_guard lock(callsMutex_);
    CallRows taken = std::move(calls_);
    calls_ = CallRows();
    return taken;
}

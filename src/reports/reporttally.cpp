#include "reporttally.h"

#include <QDateTime>

ReportTally::ReportTally(const ReportFilter& filter,
                         std::shared_ptr<const calls::SameNumber> sameNumber)
    : filter_(filter), sameNumber_(std::move(sameNumber)) {}

Status ReportTally::prepare() {
    Result<QStringList> extensions = dbRoutines::FillExtensionList();
    if (!extensions)
        return Status::failure(QStringLiteral("The extension list failed: ") + extensions.reason());
    extensionList_ = std::move(extensions.value);
    report_.emplace(filter_, extensionList_, kTopNumbers);
    return {};
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
    figures_ = report_->finish(QDateTime::currentDateTime());
    for (const auto& [day, hours] : report_->dayFigures())
        days_.push_back({day, hours});
    capacity_ = report_->capacityDays();
    for (const QString& extension : extensionList_) {
        const QByteArray number = extension.toUtf8();
        extensionRows_.emplace_back(number, report_->extensionTally().figures(number));
    }
    topRows_ = report_->numberTally().top(kTopNumbers);
    report_.reset();
}

CallRows ReportTally::takeCalls() {
    std::lock_guard lock(callsMutex_);
    CallRows taken = std::move(calls_);
    calls_ = CallRows();
    return taken;
}

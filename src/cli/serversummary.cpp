#include "serversummary.h"

#include "callrows.h"
#include "dbroutines.h"
#include "textforms.h"

#include <QDate>

#include <vector>

namespace cli {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

std::optional<qint64> wholeNumber(DbConnection& connection, int column) {
    const DbValue value = connection.value(column);
    if (value.kind != DbValue::Kind::Bytes)
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.bytes.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

// A call read whole, as the one-by-one reckoning keeps it.
struct UnusualCall {
    QByteArray from, to;
    qint64 start;
    std::optional<double> seconds;
};

Result<std::vector<UnusualCall>> readUnusualCalls(const ReportFilter& filter) {
    std::vector<UnusualCall> calls;
    const Status status = dbRoutines::ReadCalls(
        // Few, as a rule: read whole, the server may look for them in parallel.
        BuildUnusualCallsQuery(filter), DbConnection::Rows::Many,
        [&](const dbRoutines::CallRecord& call) {
            calls.push_back({call.callFrom.toByteArray(), call.callTo.toByteArray(), call.start,
                             CallRows::DurationSecondsOf(call.duration, call.durationText)});
            return true;
        });
    if (!status)
        return Failed(status.reason(), std::move(calls));
    return Succeeded(std::move(calls));
}

// Reads the talk figures of columns first.. first+3: calls, talk seconds, calls with talk time,
// calls without.
bool readTalkFigures(DbConnection& connection, int first, qint64& calls, double& talkSeconds,
                     qint64& talked, qint64& noTalk) {
    const auto count = wholeNumber(connection, first);
    const auto talk = wholeNumber(connection, first + 1);
    const auto withTalk = wholeNumber(connection, first + 2);
    const auto without = wholeNumber(connection, first + 3);
    if (!count || !talk || !withTalk || !without)
        return false;
    calls = *count;
    talkSeconds = double(*talk);
    talked = *withTalk;
    noTalk = *without;
    return true;
}

const QString kUnexpectedRow = QStringLiteral("the server's sums came in an unexpected form");

Status sumUpDays(const ReportFilter& filter, Activity::DayTally& days,
                 const std::vector<UnusualCall>& unusual) {
    const qint64 epochSeconds = *TextForms::StartSecondsOf({1970, 1, 1, 0, 0, 0});
    size_t next = 0;
    // The calls read whole go in before the server's figures of a later day.
    const auto addUnusualUpTo = [&](std::optional<qint64> daySeconds) {
        for (; next < unusual.size(); ++next) {
            const UnusualCall& call = unusual[next];
            if (daySeconds && call.start >= 0 && call.start >= *daySeconds + kSecondsPerDay)
                return;
            days.add(call.start, call.seconds);
        }
    };
    bool wellFormed = true;
    const Status status =
        dbRoutines::ReadRows(BuildMinuteSumsQuery(filter), [&](DbConnection& row) {
            const auto day = wholeNumber(row, 0);
            const auto startMinute = wholeNumber(row, 1);
            const auto endMinute = wholeNumber(row, 2);
            Activity::HourFigures started;
            if (!day || !readTalkFigures(row, 3, started.calls, started.talkSeconds,
                                         started.talkedCalls, started.noTalkCalls)) {
                wellFormed = false;
                return false;
            }
            const qint64 daySeconds = epochSeconds + *day * kSecondsPerDay;
            addUnusualUpTo(daySeconds);
            if (startMinute && *startMinute >= 0 && *startMinute < kMinutesPerDay) {
                days.addStarted(daySeconds, int(*startMinute), started);
            } else if (endMinute && *endMinute > 0 && *endMinute <= kMinutesPerDay) {
                days.addInProgress(daySeconds, int(*endMinute), -int(started.calls));
            } else {
                wellFormed = false;
                return false;
            }
            return true;
        });
    if (!status)
        return status;
    if (!wellFormed)
        return Status::failure(kUnexpectedRow);
    addUnusualUpTo(std::nullopt);
    days.finish();
    return {};
}

Status sumUpNumbers(const ReportFilter& filter, SummedBy by, int top,
                    Activity::NumberTally& numbers, const std::vector<UnusualCall>& unusual) {
    for (const UnusualCall& call : unusual)
        numbers.add(call.from, call.to, call.seconds);
    // The server picks the top numbers only when no call read whole could lift another number
    // among them.
    const NumberSums which = by == SummedBy::Extension ? NumberSums::Extensions
                             : unusual.empty()         ? NumberSums::Top
                                                       : NumberSums::Every;
    bool wellFormed = true;
    const auto query = BuildNumberSumsQuery(filter, which, top);
    const Status status = dbRoutines::ReadRows(query, [&](DbConnection& row) {
        const DbValue number = row.value(0);
        Activity::NumberFigures counted;
        qint64 calls = 0;
        const auto placed = wholeNumber(row, 1);
        if (number.kind != DbValue::Kind::Bytes || !placed ||
            !readTalkFigures(row, 2, calls, counted.talkSeconds, counted.talkedCalls,
                             counted.noTalkCalls)) {
            wellFormed = false;
            return false;
        }
        counted.placed = *placed;
        counted.received = calls;
        numbers.addCounted(number.bytes, counted);
        return true;
    });
    if (!status)
        return status;
    return wellFormed ? Status() : Status::failure(kUnexpectedRow);
}

} // namespace

Result<bool> SumUpAtServer(const ReportFilter& filter, SummedBy by, int top,
                           Activity::DayTally& days, Activity::NumberTally& numbers) {
    std::optional<qint64> summable;
    bool textUnchecked = false;
    const Status checked =
        dbRoutines::ReadRows(BuildSummableColumnsQuery(), [&](DbConnection& row) {
            summable = wholeNumber(row, 0);
            textUnchecked = wholeNumber(row, 1) != 0;
            return false;
        });
    if (!checked)
        return Failed(checked.reason(), false);
    if (summable != 2 || (by != SummedBy::Day && textUnchecked))
        return Succeeded(false);
    const Result<std::vector<UnusualCall>> unusual = readUnusualCalls(filter);
    if (!unusual)
        return Failed(unusual.reason(), false);
    const Status summed = by == SummedBy::Day
                              ? sumUpDays(filter, days, unusual.value)
                              : sumUpNumbers(filter, by, top, numbers, unusual.value);
    if (!summed)
        return Failed(summed.reason(), false);
    return Succeeded(true);
}

} // namespace cli

#include "minutecells.h"

#include "timefunctions.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

std::optional<double> startMinute(QStringView startTime) {
    const qsizetype blank = startTime.indexOf(u' ');
    if (blank < 0) {
        // The list writes a start at exactly 00:00:00 as the date alone.
        if (QDate::fromString(startTime.toString(), QStringLiteral("M/d/yyyy")).isValid())
            return 0.0;
        return std::nullopt;
    }
    return TimeFunctions::TimeToMinuteOfDay(startTime.mid(blank + 1));
}

} // namespace

void AddCallToCells(MinuteCells& cells, QStringView callFrom, QStringView startTime,
                    QStringView duration, QStringView referenceNumber) {
    auto minutes = TimeFunctions::DurationToMinutes(duration);
    if (!minutes)
        return;
    const double length = std::max(*minutes, 1.0);
    const auto first = startMinute(startTime);
    if (!first)
        return;
    // The call covers floor(length) whole minutes from its start minute; only those inside the
    // day have cells. Bounds are clamped in floating point before any conversion to int.
    const double firstMinute = std::floor(*first);
    const double lastMinute = firstMinute + std::floor(length) - 1;
    const double begin = std::max(firstMinute, 0.0);
    const double end = std::min(lastMinute, double(kMinutesPerDay - 1));
    if (begin > end)
        return;
    auto& track = (callFrom == referenceNumber) ? cells.from : cells.to;
    for (int m = static_cast<int>(begin); m <= static_cast<int>(end); ++m)
        track.set(static_cast<size_t>(m));
}

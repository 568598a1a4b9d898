#include "minutecells.h"

#include <algorithm>
#include <cmath>

std::optional<CallMinutes> CallMinutesAt(double startMinute, double durationMinutes) {
    if (!std::isfinite(startMinute) || !std::isfinite(durationMinutes))
        return std::nullopt;
    const double length = std::max(durationMinutes, 1.0);
    // The call covers floor(length) whole minutes from its start minute; only those inside the
    // day have cells. Bounds are clamped in floating point before any conversion to int.
    const double firstMinute = std::floor(startMinute);
    const double lastMinute = firstMinute + std::floor(length) - 1;
    const double begin = std::max(firstMinute, 0.0);
    const double end = std::min(lastMinute, double(kMinutesPerDay - 1));
    if (begin > end)
        return std::nullopt;
    return CallMinutes{static_cast<int>(begin), static_cast<int>(end)};
}

void MinuteCellsBuilder::add(const CallMinutes& minutes, bool placedByReference) {
    auto& changes = placedByReference ? fromChanges_ : toChanges_;
    ++changes[size_t(minutes.first)];
    --changes[size_t(minutes.last) + 1];
}

MinuteCells MinuteCellsBuilder::cells() const {
    MinuteCells cells;
    int from = 0, to = 0;
    for (int m = 0; m < kMinutesPerDay; ++m) {
        from += fromChanges_[size_t(m)];
        to += toChanges_[size_t(m)];
        cells.from.set(size_t(m), from > 0);
        cells.to.set(size_t(m), to > 0);
    }
    return cells;
}

std::array<int, kMinutesPerDay> MinuteCellsBuilder::callsInProgress() const {
    std::array<int, kMinutesPerDay> counts{};
    int running = 0;
    for (int m = 0; m < kMinutesPerDay; ++m) {
        running += fromChanges_[size_t(m)] + toChanges_[size_t(m)];
        counts[size_t(m)] = running;
    }
    return counts;
}

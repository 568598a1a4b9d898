#pragma once

#include <array>
#include <bitset>
#include <optional>

inline constexpr int kMinutesPerDay = 1440;

// The chart's whole state: which from-cells and to-cells are shown, one bit per minute of the day.
struct MinuteCells {
    std::bitset<kMinutesPerDay> from; // calls placed by the reference number
    std::bitset<kMinutesPerDay> to;   // every other listed call

    bool operator==(const MinuteCells&) const = default;
};

// The minutes of the day one listed call covers, first to last, both included.
struct CallMinutes {
    int first = 0;
    int last = 0;
};

// The minutes of the day a call covers: the whole minutes of its duration (at least one) from
// the minute it started, cut at the end of the day. A call shorter than a minute, or of no or
// negative length, covers its start minute. Nothing when no minute of it falls inside the day.
std::optional<CallMinutes> CallMinutesAt(double startMinute, double durationMinutes);

// Marks many calls at the cost of two counts each, whatever their length: a day may list a
// million of them.
class MinuteCellsBuilder {
public:
    void add(const CallMinutes& minutes, bool placedByReference);
    // Calls counted elsewhere: so many more calls cover the minute and those after it (a
    // negative number: so many fewer). The minute runs to kMinutesPerDay, past the last one.
    void addChange(int minute, int calls) { toChanges_[size_t(minute)] += calls; }
    MinuteCells cells() const;
    // How many of the added calls cover each minute, both tracks together.
    std::array<int, kMinutesPerDay> callsInProgress() const;

private:
    // Calls starting minus calls ended before each minute; the running sum covers a minute.
    std::array<int, kMinutesPerDay + 1> fromChanges_{};
    std::array<int, kMinutesPerDay + 1> toChanges_{};
};

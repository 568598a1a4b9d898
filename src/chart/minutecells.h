#pragma once

#include <QString>
#include <QStringView>

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

// The minutes a call covers: the whole minutes of its duration (at least one) from the minute it
// started, cut at the end of the day. Nothing when the duration or the start time cannot be read
// or no minute of the call falls inside the day.
std::optional<CallMinutes> CallMinutesOf(QStringView startTime, QStringView duration);
// The same for a call starting in the given minute of the day and lasting the given minutes. A
// call shorter than a minute, or of no or negative length, covers its start minute.
std::optional<CallMinutes> CallMinutesAt(double startMinute, double durationMinutes);
// Marks a call's minutes on the from-track or the to-track.
void MarkCall(MinuteCells& cells, const CallMinutes& minutes, bool placedByReference);

// Marks many calls at the cost of two counts each, whatever their length: a day may list a
// million of them.
class MinuteCellsBuilder {
public:
    void add(const CallMinutes& minutes, bool placedByReference);
    MinuteCells cells() const;

private:
    // Calls starting minus calls ended before each minute; the running sum covers a minute.
    std::array<int, kMinutesPerDay + 1> fromChanges_{};
    std::array<int, kMinutesPerDay + 1> toChanges_{};
};

// Marks the minutes covered by one listed call. The call covers the whole minutes of its
// duration (at least one) from the minute it started; minutes past the end of the day are
// dropped. A row whose duration or start time cannot be read is not drawn. A start written
// as a date alone is a call at exactly midnight.
void AddCallToCells(MinuteCells& cells, QStringView callFrom, QStringView startTime,
                    QStringView duration, QStringView referenceNumber);

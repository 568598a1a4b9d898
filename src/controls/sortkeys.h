#pragma once

#include <QtGlobal>

class CallListModel;

// What a result list column sorts by: "Call From" and "Call To" as numbers when they are all
// digits, "Start Time" in time order, "Duration" by its length. Texts that cannot be read sort
// after the readable ones, among themselves as text. Keys come from the numbers the list keeps,
// so working them out never parses a date.
struct SortKey {
    int rank = 1; // 0: readable, ordered by the number; 1: ordered by the text
    qint64 whole = 0;
    double fraction = 0;

    bool operator<(const SortKey& other) const {
        if (rank != other.rank)
            return rank < other.rank;
        if (whole != other.whole)
            return whole < other.whole;
        return fraction < other.fraction;
    }
    bool operator==(const SortKey& other) const {
        return rank == other.rank && whole == other.whole && fraction == other.fraction;
    }
};

SortKey SortKeyFor(const CallListModel& model, int row, int column);
// Orders two rows whose keys are equal: by their texts where the texts decide (numbers with
// leading zeros, texts that cannot be read); 0 where the rows are alike for this column.
int CompareEqualKeys(const CallListModel& model, int left, int right, int column,
                     const SortKey& key);

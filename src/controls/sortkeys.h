#pragma once

#include <QString>

// What a result list column sorts by: "Call From" and "Call To" as numbers when they are all
// digits, "Start Time" in time order, "Duration" by its length. Texts that cannot be read
// sort after the readable ones, among themselves as text.
struct SortKey {
    int rank = 1; // 0: readable, ordered by number; 1: ordered by text
    double number = 0;
    QString text;

    bool operator<(const SortKey& other) const;
};

SortKey SortKeyForColumn(int column, const QString& text);

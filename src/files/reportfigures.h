#pragma once

#include "charts.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// Everything the call report shows, gathered before it is drawn.
namespace files {

// The figures that come from the capacity reckoning; absent ones are shown as not known.
struct CapacityTotals {
    std::optional<qint64> callsWithoutTalk;
    std::optional<int> linesNeeded;
};

struct NumberRow {
    QByteArray number;
    qint64 placed = 0;
    qint64 received = 0;
    double talkSeconds = 0;
};

struct ReportFigures {
    QDate first, last;
    QString filter; // "every call", or the number, direction and match
    QDateTime made;

    qint64 calls = 0;
    double talkSeconds = 0;
    std::optional<int> busiestHour;
    int peakAtOnce = 0;
    CapacityTotals capacity;

    charts::HourCounts callsByHour{};
    charts::WeekHourCounts callsByWeekdayHour{};
    charts::DayCounts callsByDay;
    std::vector<NumberRow> extensions;
    std::vector<NumberRow> topNumbers;
};

} // namespace files

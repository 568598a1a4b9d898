#pragma once

#include "activity.h"
#include "connectionsettings.h"
#include "result.h"
#include "searchquery.h"

// The summaries without reading every call whole. The server sums up the calls of each number
// (GROUP BY); a period's days are added up minute by minute from each call's start and
// duration alone, which the server copies out in binary (or, over more days than the program
// keeps, sums up by minute itself). Only the calls whose values cannot be counted so are read
// one by one. The figures are those of adding every call to the tallies.
namespace dbRoutines {

enum class SummedBy {
    Day,       // the day tally, in order, then finished
    Extension, // the number tally, restricted to the extensions
    Number,    // the number tally, for its top numbers only
};

// Adds the calls of the filter to the day tally or the number tally. By number, the tally holds
// at least every number that NumberTally::top(top) lists, with its whole figures. False, with
// nothing added, when the database keeps the start or duration in a type the sums do not read;
// the calls are then to be added one by one.
Result<bool> SumUpAtServer(const ReportFilter& filter, SummedBy by, int top,
                           Activity::DayTally& days, Activity::NumberTally& numbers);
// The same with the given settings, for work on another thread.
Result<bool> SumUpAtServer(const ConnectionSettings& settings, const ReportFilter& filter,
                           SummedBy by, int top, Activity::DayTally& days,
                           Activity::NumberTally& numbers);

} // namespace dbRoutines

#pragma once

#include <QDate>
#include <QString>
#include <QVariantList>

#include <optional>

// One call-history statement: its text with "?" placeholders and the values bound to them.
struct SearchQuery {
    QString statement;
    QVariantList parameters;
};

// The operator's choices as the search controls hold them.
struct SearchChoices {
    QString direction;    // "To", "From", "Both"
    QString dateText;     // a date list entry, M/d/yyyy
    QString searchNumber; // the selected extension or the typed number
};

// The SELECT on public.callhistory2 for the choices. The number and the day are bound, never
// pasted into the text; the day goes as an ISO date. An unknown direction gives no head, so
// the statement starts with the date clause and the server rejects it.
SearchQuery BuildSearchQuery(const SearchChoices& choices);

// Which side of a call the number must be on.
enum class Direction { To, From, Both };

// The calls of a period for the terminal's reports: every day from first to last, both
// included, where a call belongs to the day of date(starttime) as in the window. With a number,
// only its calls on the given side: compared as stored text, exactly as the window compares it,
// or, with digitsAnywhere, by the digits alone, the typed digits anywhere in the stored number's
// digits (so +44 1632 960777 and 01632 960777 both hold 1632960777). Oldest first.
struct ReportFilter {
    QDate first, last;
    std::optional<QString> number; // nothing: every call of the period
    Direction direction = Direction::Both;
    bool digitsAnywhere = false;
    // When not empty: instead, the calls whose stored number ends with these digits, with
    // anything between them (+44 1632 960-777 ends with 960777). It narrows a search for one
    // number however it is written; the program confirms each call it finds.
    QString endsWithDigits;
};

// Fewer digits than this would find nearly every call.
inline constexpr int kMinimumDigitsToMatch = 3;

SearchQuery BuildReportQuery(const ReportFilter& filter);
// The same calls for a list read in parts: calls that start in the same second come in the
// order of their place in the table, so that within one snapshot the order leaves nothing to
// chance and the first rows read alone are those the whole read begins with.
SearchQuery BuildListedReportQuery(const ReportFilter& filter);

// The same calls as BuildReportQuery, but only those the sums below leave out because the server
// could not count them as the program does (NULLs, negative, fractional or day-long durations).
SearchQuery BuildUnusualCallsQuery(const ReportFilter& filter);

// The start and duration of each call of the filter, in no order: what the program needs to sum
// up the days itself.
SearchQuery BuildStartsAndDurationsQuery(const ReportFilter& filter);

// The other calls of the filter summed up by the server, oldest day first. Each row: the day
// (days since 1970-01-01); either the minute of the day calls started in (0-1439) and NULL, or
// NULL and the minute before which the charted minutes of calls end (1-1440); the calls; their
// talk seconds, the calls with talk time and those whose talk time is zero; last, how many
// calls of the minute the sums leave out. Only when some are left out need they be read.
SearchQuery BuildMinuteSumsQuery(const ReportFilter& filter);

// The same calls summed up for each number on either side: the number, calls placed, calls
// received, talk seconds, calls with talk time, calls whose talk time is zero, and the calls
// left out. For every number, only the extensions (a number listed as one), or the top numbers
// with the most calls, which holds only while no call is left out.
enum class NumberSums { Every, Extensions, Top };
SearchQuery BuildNumberSumsQuery(const ReportFilter& filter, NumberSums which, int top = 0);

// A statement of calls above (from BuildSearchQuery, BuildReportQuery or BuildUnusualCallsQuery)
// with both numbers read as the hexadecimal of their stored bytes: a database that does not
// check its text (SQL_ASCII) may hold numbers that are not UTF-8, and the server refuses to send
// those as text. Nothing for any other statement.
std::optional<SearchQuery> WithNumbersAsStoredBytes(SearchQuery query);

// One row: 2 when the start and duration columns have the types the sums above expect; and
// whether the database leaves its text unchecked (SQL_ASCII), when the server cannot send the
// numbers of the sums, which may not be UTF-8.
SearchQuery BuildSummableColumnsQuery();

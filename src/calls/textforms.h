#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The program's text forms of dates, times and durations, and the numbers the list keeps in
// their place. Dates and start times follow the locale (QLocale()): its short date form with a
// four-digit year and its time with seconds; where there is no locale (C, POSIX) and in en_US
// they are the United States forms, 3/1/2024 and 3/1/2024 3:15:42 PM. Nothing reads them back
// but the search's date, which goes to the database as an ISO date.
namespace TextForms {

// A date and time of day as the database holds it, before any time zone is applied.
struct DateTimeFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The date list's form of a date: M/d/yyyy (3/1/2024) in the United States forms.
QString DateText(QDate date);
// The date list's entries: today first, then each day before, 90 in all.
QStringList DateListEntries(QDate today);
// A date list entry as the database reads it, yyyy-MM-dd; a text that is no such date is
// passed on unchanged.
QString DateTextToIso(const QString& dateText);

// A start time as a number: seconds since 1/1/0001 at midnight. Only real dates and times of
// the years 1 to 9999 have one; 2/31/2026 or the year 10000 do not.
std::optional<qint64> StartSecondsOf(const DateTimeFields& at);
DateTimeFields FieldsOfStartSeconds(qint64 seconds);
inline int SecondOfDay(qint64 startSeconds) {
    return int(startSeconds % 86400);
}

// "Start Time" as the list shows it: the date, a blank and the time with seconds (M/d/yyyy
// h:mm:ss AM|PM in the United States forms), or the date alone at midnight.
QString StartTimeText(const DateTimeFields& at);
QString StartTimeText(qint64 startSeconds);
// The date and time form of StartTimeText in QLocale's format letters, for files that show a
// start time in the reader's own form (a spreadsheet's date-time cells).
QString StartTimeFormat();
// The driver's text of a timestamp, yyyy-MM-dd hh:mm:ss with any fraction (which the list
// drops), read as a start time.
std::optional<qint64> StartSecondsFromDriverText(QByteArrayView text);
std::optional<qint64> StartSecondsFromDriverText(QStringView text);

// The driver's form of a duration: 00:05:30, -00:05:00, 123:00:00.
QString DurationText(qint32 seconds);
// A duration as the list keeps it: its whole seconds when DurationText gives the text back
// exactly, so that nothing is lost; nothing otherwise, and the list keeps the text, which the
// one duration reader (TimeFunctions) reads wherever a length is needed.
std::optional<qint32> StoredDurationSeconds(QByteArrayView text);

// A number as the window shows it: control characters as their pictures (U+2400 onwards) and the
// marks that reorder text as their names in brackets ([RLO]), so that what is shown is what the
// web lookup searches. No digit is added.
QString VisibleText(const QString& text);

// Whether a spreadsheet opening the text as a cell would run it as a formula: it starts with
// "=", "@", a tab or a line break, or with "+" or "-" followed by anything but a plain number
// (digits, blanks, "." and ":"), so that "+44 1632 960777" and "-5" are no formula and
// "-2+3+cmd|' /C calc'!A0" is one. The text is UTF-8.
bool RunsAsFormula(QByteArrayView text);

// A summed length in whole seconds, rounded down and held to what a qint64 counts.
qint64 WholeSeconds(double seconds);

// h:mm:ss with as many hours as there are: 1:23:45, 27:00:00, -0:05:00.
QString TalkTimeText(qint64 seconds);
// The same into out, which holds 24 characters; gives the length.
qsizetype WriteTalkTime(qint64 seconds, char* out);
// ISO 8601 without a zone, for machines: 2026-12-08T15:15:42, midnight as T00:00:00. Writes 19
// characters into out.
void IsoStartText(qint64 startSeconds, char* out);
// A date given as yyyy-MM-dd; nothing for any other text or a day that does not exist.
std::optional<QDate> IsoDate(QStringView text);
// What a search that listed every row found: "17 calls, 1:23:45 talk time", "No calls", and
// how many durations were left out of the talk time because they are no duration at all (or
// none): "18 calls, 26:43:19 talk time, 1 duration unreadable".
QString CallsSummaryText(qsizetype calls, qint64 talkSeconds, qsizetype unreadable = 0);

} // namespace TextForms

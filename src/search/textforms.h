#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The program's text forms of dates, times and durations, and the numbers the list keeps in
// their place. They are always the United States forms, whatever the locale, because the chart
// reads them back.
namespace TextForms {

// A date and time of day as the database holds it, before any time zone is applied.
struct DateTimeFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// M/d/yyyy: 3/1/2024.
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

// "Start Time" as the list shows it: M/d/yyyy h:mm:ss AM|PM, or the date alone at midnight.
QString StartTimeText(const DateTimeFields& at);
QString StartTimeText(qint64 startSeconds);
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

// h:mm:ss with as many hours as there are: 1:23:45, 27:00:00, -0:05:00.
QString TalkTimeText(qint64 seconds);
// The same into out, which holds 24 characters; gives the length.
qsizetype WriteTalkTime(qint64 seconds, char* out);
// ISO 8601 without a zone, for machines: 2026-12-08T15:15:42, midnight as T00:00:00. Writes 19
// characters into out.
void IsoStartText(qint64 startSeconds, char* out);
// A date given as yyyy-MM-dd; nothing for any other text or a day that does not exist.
std::optional<QDate> IsoDate(QStringView text);
// What a search that listed every row found: "17 calls, 1:23:45 talk time", "No calls".
QString CallsSummaryText(qsizetype calls, qint64 talkSeconds);

} // namespace TextForms

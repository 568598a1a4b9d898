#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The program's text forms of dates and times. They are always the United States forms,
// whatever the locale, because the chart reads them back.
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

// "Start Time" as the list shows it: M/d/yyyy h:mm:ss AM|PM, or the date alone at midnight.
QString StartTimeText(const DateTimeFields& at);
// The same from the driver's text of a timestamp; any other text is shown as it is.
QString StartTimeTextFromDriver(const QString& text);

// A duration as the driver writes an interval, [-]h:mm:ss with an optional fraction of a second,
// in seconds; nothing for any other text.
std::optional<double> DurationSeconds(QStringView text);
// h:mm:ss with as many hours as there are: 1:23:45, 27:00:00.
QString TalkTimeText(qint64 seconds);
// What a search that listed every row found: "17 calls, 1:23:45 talk time", "No calls".
QString CallsSummaryText(qsizetype calls, qint64 talkSeconds);

} // namespace TextForms

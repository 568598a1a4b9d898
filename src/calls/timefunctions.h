#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>

// Conversions of the result list's time texts into minutes. An empty optional means the text
// could not be read; a value is always finite.
//
// DurationToMinutes is the program's one reader of a duration text: the chart, the talk time,
// sorting and the way the list stores a duration all read it here, so they agree on every text.
namespace TimeFunctions {

// "h:mm:ss" -> hours * 60 + minutes + seconds / 60. Fields after the third are ignored; a field
// may carry blanks around it, a sign and a fraction. A minus before the hours makes the whole
// duration negative, as the database writes "-00:05:00". Days, months and years that the
// database writes before the clock part of a long interval ("1 day 02:00:00", "2 days") count as
// the database counts them: 24 hours, 30 days, 365.25 days. A duration longer either way than the
// database's intervals can hold (2562047788:00:54.775807) cannot be read.
std::optional<double> DurationToMinutes(QStringView text);
// The same reading of the driver's UTF-8 bytes, in seconds.
std::optional<double> DurationToSeconds(QByteArrayView text);
std::optional<double> DurationToSeconds(QStringView text);

// "h:mm:ss AM|PM" -> minute of the day. Hour 12 counts as 0, and only an upper-case "PM"
// ending of the third field adds 12 hours. Ranges are not checked.
std::optional<double> TimeToMinuteOfDay(QStringView text);

// Reads one decimal field: optional blanks, an optional sign, digits with an optional
// fraction. Anything else (empty, letters, exponents, a date) is not a number.
std::optional<double> ReadNumber(QStringView field);

} // namespace TimeFunctions

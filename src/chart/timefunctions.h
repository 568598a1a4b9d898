#pragma once

#include <QStringView>

#include <optional>

// Conversions of the result list's time texts into minutes. An empty optional means the text
// could not be read; a value is always finite.
namespace TimeFunctions {

// "h:mm:ss" -> hours * 60 + minutes + seconds / 60. Fields after the third are ignored. A minus
// before the hours makes the whole duration negative, as the database writes "-00:05:00".
std::optional<double> DurationToMinutes(QStringView text);

// "h:mm:ss AM|PM" -> minute of the day. Hour 12 counts as 0, and only an upper-case "PM"
// ending of the third field adds 12 hours. Ranges are not checked.
std::optional<double> TimeToMinuteOfDay(QStringView text);

// Reads one decimal field: optional blanks, an optional sign, digits with an optional
// fraction. Anything else (empty, letters, exponents, a date) is not a number.
std::optional<double> ReadNumber(QStringView field);

} // namespace TimeFunctions

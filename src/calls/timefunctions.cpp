#include "timefunctions.h"

#include "charat.h"

#include <QByteArray>

#include <array>
#include <cmath>

namespace TimeFunctions {

namespace {

using TextChars::at;
inline bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

template <typename View> View trimmed(View text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(at(text, begin)))
        ++begin;
    while (end > begin && isBlank(at(text, end - 1)))
        --end;
    return text.sliced(begin, end - begin);
}

template <typename View> std::optional<double> readNumber(View field) {
    // The common case, a short run of plain digits, is read without any conversion.
    if (!field.isEmpty() && field.size() <= 15) {
        qint64 whole = 0;
        bool digitsOnly = true;
        for (qsizetype i = 0; i < field.size(); ++i) {
            const char16_t c = at(field, i);
            if (c < u'0' || c > u'9') {
                digitsOnly = false;
                break;
            }
            whole = whole * 10 + (c - u'0');
        }
        if (digitsOnly)
            return double(whole);
    }
    const View text = trimmed(field);
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (at(text, i) == u'+' || at(text, i) == u'-'))
        ++i;
    qsizetype digits = 0;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const char16_t c = at(text, i);
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.' && !seenPoint)
            seenPoint = true;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The first three ":"-separated fields of the text; the third runs to the next ":" or the end.
template <typename View> std::optional<std::array<View, 3>> firstThreeFields(View text) {
    qsizetype colons[3] = {-1, -1, -1};
    int found = 0;
    for (qsizetype i = 0; i < text.size() && found < 3; ++i) {
        if (at(text, i) == u':')
            colons[found++] = i;
    }
    if (found < 2)
        return std::nullopt;
    const qsizetype end = found == 3 ? colons[2] : text.size();
    return std::array<View, 3>{text.sliced(0, colons[0]),
                               text.sliced(colons[0] + 1, colons[1] - colons[0] - 1),
                               text.sliced(colons[1] + 1, end - colons[1] - 1)};
}

// The clock part: hours, minutes and seconds.
template <typename View> std::optional<double> clockSeconds(View text) {
    const auto split = firstThreeFields(text);
    if (!split)
        return std::nullopt;
    const auto& fields = *split;
    const auto hours = readNumber(fields[0]);
    const auto minutes = readNumber(fields[1]);
    const auto seconds = readNumber(fields[2]);
    if (!hours || !minutes || !seconds)
        return std::nullopt;
    const View hoursText = trimmed(fields[0]);
    const bool negative = !hoursText.isEmpty() && at(hoursText, 0) == u'-';
    const double magnitude = std::abs(*hours) * 3600 + *minutes * 60 + *seconds;
    const double total = negative ? -magnitude : magnitude;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

template <typename View> qsizetype indexOfBlank(View text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (at(text, i) == u' ')
            return i;
    }
    return -1;
}

// The seconds of a unit the database writes before the clock part of an interval ("1 day",
// "2 mons"), as it counts them itself when it gives an interval's length in seconds.
template <typename View> std::optional<double> unitSeconds(View word) {
    const auto equals = [&word](const char* name) {
        qsizetype i = 0;
        for (; name[i]; ++i) {
            if (i >= word.size() || at(word, i) != char16_t(name[i]))
                return false;
        }
        return i == word.size();
    };
    const auto is = [&equals](const char* one, const char* many) {
        return equals(one) || equals(many);
    };
    if (is("day", "days"))
        return 86400.0;
    if (is("mon", "mons"))
        return 30 * 86400.0;
    if (is("year", "years"))
        return 365.25 * 86400;
    return std::nullopt;
}

// Splits off the words before the clock part: "1 day 02:00:00" -> 86400 and "02:00:00";
// "-1 days +02:00:00" -> -86400 and "+02:00:00"; "1 day" -> 86400 and nothing. Text that does not
// start with a number and a unit is left whole.
template <typename View> double takeUnits(View& text, bool& clockLeft) {
    double seconds = 0;
    clockLeft = true;
    for (;;) {
        const View rest = trimmed(text);
        const qsizetype blank = indexOfBlank(rest);
        if (blank <= 0)
            return seconds;
        const auto count = readNumber(rest.sliced(0, blank));
        View afterCount = trimmed(rest.sliced(blank));
        qsizetype wordEnd = indexOfBlank(afterCount);
        if (wordEnd < 0)
            wordEnd = afterCount.size();
        const auto unit = unitSeconds(afterCount.sliced(0, wordEnd));
        if (!count || !unit || *count != std::trunc(*count))
            return seconds;
        seconds += *count * *unit;
        text = afterCount.sliced(wordEnd);
        if (trimmed(text).isEmpty()) {
            clockLeft = false;
            return seconds;
        }
    }
}

// The longest duration there is: the database's intervals hold their clock part as 2^63
// microseconds. A text beyond it ("99999999999999999999:00:00") is no duration; read as one, a
// single call would outweigh any sum of real ones and overflow the whole seconds it is summed in.
constexpr double kLongestSeconds = 9223372036854.775807;

std::optional<double> inRange(double seconds) {
    if (!std::isfinite(seconds) || std::abs(seconds) > kLongestSeconds)
        return std::nullopt;
    return seconds;
}

template <typename View> std::optional<double> durationSeconds(View text) {
    bool clockLeft = true;
    const double units = takeUnits(text, clockLeft);
    if (!clockLeft)
        return inRange(units);
    const auto clock = clockSeconds(text);
    if (!clock)
        return std::nullopt;
    return inRange(units + *clock);
}

} // namespace

std::optional<double> ReadNumber(QStringView field) {
    return readNumber(field);
}

std::optional<double> DurationToSeconds(QByteArrayView text) {
    return durationSeconds(text);
}

std::optional<double> DurationToSeconds(QStringView text) {
    return durationSeconds(text);
}

std::optional<double> DurationToMinutes(QStringView text) {
    const auto seconds = durationSeconds(text);
    if (!seconds)
        return std::nullopt;
    return *seconds / 60;
}

std::optional<double> TimeToMinuteOfDay(QStringView text) {
    const auto split = firstThreeFields(text);
    if (!split)
        return std::nullopt;
    const auto& fields = *split;
    auto hour = readNumber(fields[0]);
    if (!hour)
        return std::nullopt;
    if (*hour == 12)
        *hour = 0;
    if (fields[2].endsWith(u"PM"))
        *hour += 12;
    const auto minute = readNumber(fields[1]);
    if (!minute)
        return std::nullopt;
    const double total = *hour * 60 + *minute;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

} // namespace TimeFunctions

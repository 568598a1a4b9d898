#include "timefunctions.h"

#include <array>
#include <cmath>

namespace TimeFunctions {

std::optional<double> ReadNumber(QStringView field) {
    // The common case, a short run of plain digits, is read without any conversion.
    if (!field.isEmpty() && field.size() <= 15) {
        qint64 whole = 0;
        bool digitsOnly = true;
        for (const QChar c : field) {
            if (c < u'0' || c > u'9') {
                digitsOnly = false;
                break;
            }
            whole = whole * 10 + (c.unicode() - u'0');
        }
        if (digitsOnly)
            return double(whole);
    }
    const QStringView trimmed = field.trimmed();
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const QChar c = trimmed[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

// The first three ":"-separated fields of the text; the third runs to the next ":" or the end.
std::optional<std::array<QStringView, 3>> firstThreeFields(QStringView text) {
    const qsizetype colon1 = text.indexOf(u':');
    if (colon1 < 0)
        return std::nullopt;
    const qsizetype colon2 = text.indexOf(u':', colon1 + 1);
    if (colon2 < 0)
        return std::nullopt;
    const qsizetype colon3 = text.indexOf(u':', colon2 + 1);
    const QStringView rest = text.mid(colon2 + 1);
    return std::array<QStringView, 3>{text.left(colon1), text.mid(colon1 + 1, colon2 - colon1 - 1),
                                      colon3 < 0 ? rest : rest.left(colon3 - colon2 - 1)};
}

} // namespace

std::optional<double> DurationToMinutes(QStringView text) {
    const auto split = firstThreeFields(text);
    if (!split)
        return std::nullopt;
    const auto& fields = *split;
    const auto hours = ReadNumber(fields[0]);
    const auto minutes = ReadNumber(fields[1]);
    const auto seconds = ReadNumber(fields[2]);
    if (!hours || !minutes || !seconds)
        return std::nullopt;
    const bool negative = fields[0].trimmed().startsWith(u'-');
    const double magnitude = std::abs(*hours) * 60 + *minutes + *seconds / 60;
    const double total = negative ? -magnitude : magnitude;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

std::optional<double> TimeToMinuteOfDay(QStringView text) {
    const auto split = firstThreeFields(text);
    if (!split)
        return std::nullopt;
    const auto& fields = *split;
    auto hour = ReadNumber(fields[0]);
    if (!hour)
        return std::nullopt;
    if (*hour == 12)
        *hour = 0;
    if (fields[2].endsWith(u"PM"))
        *hour += 12;
    const auto minute = ReadNumber(fields[1]);
    if (!minute)
        return std::nullopt;
    const double total = *hour * 60 + *minute;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

} // namespace TimeFunctions

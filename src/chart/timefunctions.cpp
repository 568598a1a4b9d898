#include "timefunctions.h"

#include <QList>

#include <cmath>

namespace TimeFunctions {

std::optional<double> ReadNumber(QStringView field) {
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

std::optional<double> DurationToMinutes(QStringView text) {
    const QList<QStringView> fields = text.split(u':');
    if (fields.size() < 3)
        return std::nullopt;
    const auto hours = ReadNumber(fields[0]);
    const auto minutes = ReadNumber(fields[1]);
    const auto seconds = ReadNumber(fields[2]);
    if (!hours || !minutes || !seconds)
        return std::nullopt;
    const double total = *hours * 60 + *minutes + *seconds / 60;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

std::optional<double> TimeToMinuteOfDay(QStringView text) {
    const QList<QStringView> fields = text.split(u':');
    if (fields.size() < 3)
        return std::nullopt;
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

#include "textforms.h"

#include <cmath>
#include <limits>

namespace TextForms {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
const qint64 kFirstJulianDay = QDate(1, 1, 1).toJulianDay();

inline char16_t at(QStringView text, qsizetype i) {
    return text[i].unicode();
}
inline char16_t at(QByteArrayView text, qsizetype i) {
    return char16_t(uchar(text[i]));
}

// The number written by count digits from position from; -1 when one of them is no digit.
template <typename View> qint64 digits(View text, qsizetype from, qsizetype count) {
    qint64 value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = at(text, i);
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

template <typename View> bool allDigits(View text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        if (at(text, i) < u'0' || at(text, i) > u'9')
            return false;
    }
    return true;
}

// Digits from position i on, as many as there are up to most; -1 when there are none.
template <typename View> qint64 digitRun(View text, qsizetype& i, qsizetype most) {
    const qsizetype from = i;
    while (i < text.size() && i - from < most && at(text, i) >= u'0' && at(text, i) <= u'9')
        ++i;
    return i == from ? -1 : digits(text, from, i - from);
}

template <typename View> std::optional<qint64> driverTimestamp(View text) {
    if (text.size() < 19 || at(text, 4) != u'-' || at(text, 7) != u'-' || at(text, 10) != u' ' ||
        at(text, 13) != u':' || at(text, 16) != u':')
        return std::nullopt;
    if (text.size() > 19 && (at(text, 19) != u'.' || text.size() == 20 || !allDigits(text, 20)))
        return std::nullopt;
    const auto field = [&text](qsizetype from, qsizetype count) {
        return int(digits(text, from, count));
    };
    return StartSecondsOf(
        {field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)});
}

template <typename View> std::optional<qint32> exactDuration(View text) {
    const bool negative = !text.isEmpty() && at(text, 0) == u'-';
    const qsizetype start = negative ? 1 : 0;
    const qsizetype size = text.size();
    // hh:mm:ss: the hours take everything before the last six characters.
    if (size - start < 8 || size - start > 11 || at(text, size - 6) != u':' ||
        at(text, size - 3) != u':')
        return std::nullopt; // two to five digits of hours

    const qint64 hours = digits(text, start, size - 6 - start);
    const qint64 minutes = digits(text, size - 5, 2);
    const qint64 seconds = digits(text, size - 2, 2);
    if (hours < 0 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    const qint64 total = hours * 3600 + minutes * 60 + seconds;
    if ((hours < 10 && size - 6 - start != 2) || (hours >= 10 && at(text, start) == u'0'))
        return std::nullopt; // more leading zeros than the driver writes
    if (negative && total == 0)
        return std::nullopt;
    return qint32(negative ? -total : total);
}

} // namespace

QString DateText(QDate date) {
    return date.toString(QStringLiteral("M/d/yyyy"));
}

QStringList DateListEntries(QDate today) {
    QStringList entries;
    QDate day = today;
    for (int i = 0; i < 90; ++i) {
        entries << DateText(day);
        day = day.addDays(-1);
    }
    return entries;
}

QString DateTextToIso(const QString& dateText) {
    const QDate date = QDate::fromString(dateText, QStringLiteral("M/d/yyyy"));
    return date.isValid() ? date.toString(Qt::ISODate) : dateText;
}

std::optional<qint64> StartSecondsOf(const DateTimeFields& at) {
    if (at.year < 1 || at.year > 9999 || !QDate::isValid(at.year, at.month, at.day) ||
        at.hour < 0 || at.hour > 23 || at.minute < 0 || at.minute > 59 || at.second < 0 ||
        at.second > 59)
        return std::nullopt;
    const qint64 day = QDate(at.year, at.month, at.day).toJulianDay() - kFirstJulianDay;
    return day * kSecondsPerDay + at.hour * 3600 + at.minute * 60 + at.second;
}

DateTimeFields FieldsOfStartSeconds(qint64 seconds) {
    DateTimeFields fields;
    QDate::fromJulianDay(seconds / kSecondsPerDay + kFirstJulianDay)
        .getDate(&fields.year, &fields.month, &fields.day);
    const int second = SecondOfDay(seconds);
    fields.hour = second / 3600;
    fields.minute = second / 60 % 60;
    fields.second = second % 60;
    return fields;
}

QString StartTimeText(const DateTimeFields& at) {
    // Written by hand: the list shows this for every row it draws, and the date and time
    // formatters of the library cost far more.
    char16_t text[32];
    int n = 0;
    const auto append = [&text, &n](int number, int width) {
        char16_t digitsBackwards[12];
        int count = 0;
        do {
            digitsBackwards[count++] = char16_t(u'0' + number % 10);
            number /= 10;
        } while (number > 0 && count < 11);
        while (count < width)
            digitsBackwards[count++] = u'0';
        while (count > 0)
            text[n++] = digitsBackwards[--count];
    };
    append(at.month, 1);
    text[n++] = u'/';
    append(at.day, 1);
    text[n++] = u'/';
    append(at.year, 4);
    if (at.hour != 0 || at.minute != 0 || at.second != 0) { // exactly midnight: the date alone
        text[n++] = u' ';
        append(at.hour % 12 == 0 ? 12 : at.hour % 12, 1);
        text[n++] = u':';
        append(at.minute, 2);
        text[n++] = u':';
        append(at.second, 2);
        text[n++] = u' ';
        text[n++] = at.hour < 12 ? u'A' : u'P';
        text[n++] = u'M';
    }
    return QString(reinterpret_cast<const QChar*>(text), n);
}

QString StartTimeText(qint64 startSeconds) {
    return StartTimeText(FieldsOfStartSeconds(startSeconds));
}

std::optional<qint64> StartSecondsFromDriverText(QByteArrayView text) {
    return driverTimestamp(text);
}

std::optional<qint64> StartSecondsFromDriverText(QStringView text) {
    return driverTimestamp(text);
}

std::optional<qint64> StartSecondsFromListText(QStringView text) {
    qsizetype i = 0;
    DateTimeFields fields;
    fields.month = int(digitRun(text, i, 2));
    if (i >= text.size() || text[i] != u'/')
        return std::nullopt;
    ++i;
    fields.day = int(digitRun(text, i, 2));
    if (i >= text.size() || text[i] != u'/')
        return std::nullopt;
    ++i;
    fields.year = int(digitRun(text, i, 4));
    if (i < text.size()) {
        if (text[i] != u' ')
            return std::nullopt;
        ++i;
        const int hour = int(digitRun(text, i, 2));
        if (i + 9 != text.size() || text[i] != u':' || text[i + 3] != u':' || text[i + 6] != u' ' ||
            text[i + 8] != u'M' || (text[i + 7] != u'A' && text[i + 7] != u'P') || hour < 1 ||
            hour > 12)
            return std::nullopt;
        fields.hour = hour % 12 + (text[i + 7] == u'P' ? 12 : 0);
        fields.minute = int(digits(text, i + 1, 2));
        fields.second = int(digits(text, i + 4, 2));
    }
    const auto seconds = StartSecondsOf(fields);
    // Only the exact form the list writes: no leading zeros, no midnight written out.
    if (!seconds || StartTimeText(*seconds) != text)
        return std::nullopt;
    return seconds;
}

std::optional<qint32> ExactDurationSeconds(QByteArrayView text) {
    return exactDuration(text);
}

std::optional<qint32> ExactDurationSeconds(QStringView text) {
    return exactDuration(text);
}

QString DurationText(qint32 seconds) {
    const qint64 magnitude = seconds < 0 ? -qint64(seconds) : qint64(seconds);
    return QStringLiteral("%1%2:%3:%4")
        .arg(seconds < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
        .arg(magnitude / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

std::optional<double> DurationSeconds(QStringView text) {
    const bool negative = text.startsWith(u'-');
    const QStringView rest = negative ? text.mid(1) : text;
    const qsizetype colon1 = rest.indexOf(u':');
    const qsizetype colon2 = colon1 < 0 ? -1 : rest.indexOf(u':', colon1 + 1);
    if (colon1 <= 0 || colon1 > 12 || colon2 != colon1 + 3 || rest.size() < colon2 + 3)
        return std::nullopt;
    const qint64 hours = digits(rest, 0, colon1);
    const qint64 minutes = digits(rest, colon1 + 1, 2);
    const qint64 seconds = digits(rest, colon2 + 1, 2);
    if (hours < 0 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    double fraction = 0;
    const QStringView tail = rest.mid(colon2 + 3);
    if (!tail.isEmpty()) {
        if (tail[0] != u'.' || tail.size() < 2 || tail.size() > 13 ||
            digits(tail, 1, tail.size() - 1) < 0)
            return std::nullopt;
        fraction =
            double(digits(tail, 1, tail.size() - 1)) / std::pow(10.0, double(tail.size() - 1));
    }
    const double total = double(hours * 3600 + minutes * 60 + seconds) + fraction;
    return negative ? -total : total;
}

QString TalkTimeText(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString CallsSummaryText(qsizetype calls, qint64 talkSeconds) {
    if (calls == 0)
        return QStringLiteral("No calls");
    return QStringLiteral("%1 %2, %3 talk time")
        .arg(calls)
        .arg(calls == 1 ? QStringLiteral("call") : QStringLiteral("calls"))
        .arg(TalkTimeText(talkSeconds));
}

} // namespace TextForms

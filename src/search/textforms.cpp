#include "textforms.h"

#include <cmath>

namespace TextForms {

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

QString StartTimeText(const DateTimeFields& at) {
    // Written by hand: this runs once per listed call, and the date and time formatters of the
    // library cost more than fetching the row.
    QString text;
    text.reserve(22);
    const auto append = [&text](int number, int width) {
        char digits[12];
        int n = 0;
        do {
            digits[n++] = char('0' + number % 10);
            number /= 10;
        } while (number > 0 && n < 11);
        while (n < width)
            digits[n++] = '0';
        while (n > 0)
            text += QLatin1Char(digits[--n]);
    };
    append(at.month, 1);
    text += u'/';
    append(at.day, 1);
    text += u'/';
    append(at.year, 4);
    if (at.hour == 0 && at.minute == 0 && at.second == 0)
        return text; // exactly midnight: the date alone
    text += u' ';
    append(at.hour % 12 == 0 ? 12 : at.hour % 12, 1);
    text += u':';
    append(at.minute, 2);
    text += u':';
    append(at.second, 2);
    text += at.hour < 12 ? QLatin1String(" AM") : QLatin1String(" PM");
    return text;
}

QString StartTimeTextFromDriver(const QString& text) {
    // The driver writes a timestamp as yyyy-MM-dd hh:mm:ss, perhaps with a fraction.
    const auto digits = [&text](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const QChar c = text[i];
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    if (text.size() < 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' ||
        text[13] != u':' || text[16] != u':' || (text.size() > 19 && text[19] != u'.'))
        return text;
    const DateTimeFields at{digits(0, 4),  digits(5, 2),  digits(8, 2),
                            digits(11, 2), digits(14, 2), digits(17, 2)};
    if (at.year < 0 || at.month < 1 || at.month > 12 || at.day < 1 || at.day > 31 || at.hour < 0 ||
        at.hour > 23 || at.minute < 0 || at.minute > 59 || at.second < 0 || at.second > 60)
        return text;
    return StartTimeText(at);
}

std::optional<double> DurationSeconds(QStringView text) {
    const bool negative = text.startsWith(u'-');
    const QStringView rest = negative ? text.mid(1) : text;
    const qsizetype colon1 = rest.indexOf(u':');
    const qsizetype colon2 = colon1 < 0 ? -1 : rest.indexOf(u':', colon1 + 1);
    if (colon1 <= 0 || colon2 != colon1 + 3 || rest.size() < colon2 + 3)
        return std::nullopt;
    const auto digits = [](QStringView field) -> std::optional<qint64> {
        if (field.isEmpty() || field.size() > 12)
            return std::nullopt;
        qint64 value = 0;
        for (const QChar c : field) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    const auto hours = digits(rest.left(colon1));
    const auto minutes = digits(rest.mid(colon1 + 1, 2));
    const auto seconds = digits(rest.mid(colon2 + 1, 2));
    if (!hours || !minutes || !seconds || *minutes > 59 || *seconds > 59)
        return std::nullopt;
    double fraction = 0;
    const QStringView tail = rest.mid(colon2 + 3);
    if (!tail.isEmpty()) {
        const auto fractionDigits = digits(tail.mid(1));
        if (tail[0] != u'.' || !fractionDigits)
            return std::nullopt;
        fraction = tail.mid(1).toDouble() / std::pow(10.0, double(tail.size() - 1));
    }
    const double total = double(*hours * 3600 + *minutes * 60 + *seconds) + fraction;
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

#include "textforms.h"

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

} // namespace TextForms

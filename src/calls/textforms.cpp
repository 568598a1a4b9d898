#include "textforms.h"

#include "callrows.h"
#include "charat.h"
#include "timefunctions.h"

#include <QLocale>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace TextForms {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
const qint64 kFirstJulianDay = QDate(1, 1, 1).toJulianDay();

using TextChars::at;

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

template <typename View> std::optional<qint64> driverTimestamp(View text) {
    if (text.size() < 19 || at(text, 4) != u'-' || at(text, 7) != u'-' || at(text, 10) != u' ' ||
        at(text, 13) != u':' || at(text, 16) != u':')
        return std::nullopt;
    // A start held with its zone ends with the session's offset, +09 or -03:30: the time before
    // it is already the session's (the program's) local time.
    for (qsizetype i = text.size() - 1; i > 19; --i) {
        const char16_t c = at(text, i);
        if (c == u'+' || c == u'-') {
            const qsizetype zone = text.size() - i;
            const bool hours = zone == 3 && digits(text, i + 1, 2) >= 0;
            const bool minutes = zone == 6 && digits(text, i + 1, 2) >= 0 &&
                                 at(text, i + 3) == u':' && digits(text, i + 4, 2) >= 0;
            if (!hours && !minutes)
                return std::nullopt;
            text = text.first(i);
            break;
        }
    }
    if (text.size() > 19 && (at(text, 19) != u'.' || text.size() == 20 || !allDigits(text, 20)))
        return std::nullopt;
    const auto field = [&text](qsizetype from, qsizetype count) {
        return int(digits(text, from, count));
    };
    return StartSecondsOf(
        {field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)});
}

// [-]h:mm:ss into out (24 characters), with at least so many digits of hours; gives the length.
// Written by hand: the terminal reports write one for every call they list.
qsizetype writeClock(qint64 seconds, int hourDigits, char* out) {
    const quint64 magnitude = seconds < 0 ? 0 - quint64(seconds) : quint64(seconds);
    qsizetype n = 0;
    if (seconds < 0)
        out[n++] = '-';
    char hours[20];
    int count = 0;
    quint64 h = magnitude / 3600;
    do {
        hours[count++] = char('0' + h % 10);
        h /= 10;
    } while (h > 0);
    while (count < hourDigits)
        hours[count++] = '0';
    while (count > 0)
        out[n++] = hours[--count];
    for (const quint64 part : {magnitude / 60 % 60, magnitude % 60}) {
        out[n++] = ':';
        out[n++] = char('0' + part / 10);
        out[n++] = char('0' + part % 10);
    }
    return n;
}

// The driver's form of a duration: at least two digits of hours.
qsizetype writeDuration(qint32 seconds, char* out) {
    return writeClock(seconds, 2, out);
}

} // namespace

namespace {

// The United States forms where the locale has none of its own.
bool usForms() {
    const QLocale locale;
    return locale.language() == QLocale::C ||
           (locale.language() == QLocale::English && locale.territory() == QLocale::UnitedStates);
}

// The locale's short date form, with four digits of the year.
QString localeDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        if (format.contains(QLatin1String("yy")))
            format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        else
            format.replace(QLatin1String("y"), QLatin1String("yyyy"));
    }
    return format;
}

// The locale's time with seconds, without its time zone ("t" outside quotes) and without the
// brackets and blanks around it: many locales write the zone as "(t)".
QString localeTimeFormat() {
    const QString format = QLocale().timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (c != u't' || quoted) {
            kept += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't') // "tt", "ttt": the same field
            ++i;
        const auto chopBlanks = [&kept] {
            while (!kept.isEmpty() && kept.back().isSpace())
                kept.chop(1);
        };
        chopBlanks();
        const bool opened = !kept.isEmpty() && (kept.back() == u'(' || kept.back() == u'[');
        if (opened) {
            kept.chop(1);
            chopBlanks();
        }
        qsizetype next = i + 1;
        while (next < format.size() && format[next].isSpace())
            ++next;
        if (opened && next < format.size() && (format[next] == u')' || format[next] == u']'))
            ++next;
        // One blank still parts what stood before the zone from what follows it.
        if (next < format.size() && !kept.isEmpty())
            kept += u' ';
        i = next - 1;
    }
    return kept.trimmed();
}

// The text with every decimal digit, of whatever script, written as an ASCII one. Some scripts'
// digits lie outside the Basic Multilingual Plane, as surrogate pairs.
QString asciiDigits(const QString& text) {
    QString ascii;
    ascii.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const int digit = QChar::digitValue(c);
        if (digit >= 0 && QChar::category(c) == QChar::Number_DecimalDigit)
            ascii += QChar(u'0' + digit);
        else
            ascii += QString::fromUcs4(&c, 1);
    }
    return ascii;
}

} // namespace

QString DateText(QDate date) {
    if (!usForms())
        return QLocale().toString(date, localeDateFormat());
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
    QDate date = usForms() ? QDate::fromString(dateText, QStringLiteral("M/d/yyyy"))
                           : QLocale().toDate(dateText, localeDateFormat());
    // The locale cannot read back its own digits where they lie outside the Basic Multilingual
    // Plane; read as ASCII digits the date is the same.
    if (!date.isValid() && !usForms())
        date = QDate::fromString(asciiDigits(dateText), localeDateFormat());
    // The server is always sent ASCII digits, also for a text that is no date.
    return date.isValid() ? date.toString(Qt::ISODate) : asciiDigits(dateText);
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
    const DateTimeFields at = FieldsOfStartSeconds(startSeconds);
    if (usForms())
        return StartTimeText(at);
    const QString date = DateText(QDate(at.year, at.month, at.day));
    if (at.hour == 0 && at.minute == 0 && at.second == 0)
        return date;
    return date + u' ' +
           QLocale().toString(QTime(at.hour, at.minute, at.second), localeTimeFormat());
}

QString StartTimeFormat() {
    if (usForms())
        return QStringLiteral("M/d/yyyy h:mm:ss AP");
    return localeDateFormat() + u' ' + localeTimeFormat();
}

std::optional<qint64> StartSecondsFromDriverText(QByteArrayView text) {
    return driverTimestamp(text);
}

std::optional<qint64> StartSecondsFromDriverText(QStringView text) {
    return driverTimestamp(text);
}

std::optional<qint32> StoredDurationSeconds(QByteArrayView text) {
    const auto seconds = TimeFunctions::DurationToSeconds(text);
    if (!seconds || *seconds != std::trunc(*seconds) || *seconds <= double(CallRows::kNoDuration) ||
        *seconds > std::numeric_limits<qint32>::max())
        return std::nullopt;
    char written[24];
    const qint32 whole = qint32(*seconds);
    if (QByteArrayView(written, writeDuration(whole, written)) != text)
        return std::nullopt;
    return whole;
}

QString DurationText(qint32 seconds) {
    char written[24];
    return QString::fromLatin1(written, writeDuration(seconds, written));
}

qsizetype WriteTalkTime(qint64 seconds, char* out) {
    return writeClock(seconds, 1, out);
}

qint64 WholeSeconds(double seconds) {
    // 2^63 as a double; every double below it converts exactly.
    constexpr double kBeyond = 9223372036854775808.0;
    const double whole = std::floor(seconds);
    if (std::isnan(whole))
        return 0;
    if (whole >= kBeyond)
        return std::numeric_limits<qint64>::max();
    if (whole < -kBeyond)
        return std::numeric_limits<qint64>::min();
    return qint64(whole);
}

bool RunsAsFormula(QByteArrayView text) {
    if (text.isEmpty())
        return false;
    const char first = text.front();
    if (first == '=' || first == '@' || first == '\t' || first == '\r' || first == '\n')
        return true;
    if (first != '+' && first != '-')
        return false;
    return std::any_of(text.begin() + 1, text.end(), [](char c) {
        return !(c >= '0' && c <= '9') && c != ' ' && c != '.' && c != ':';
    });
}

QString VisibleText(const QString& text) {
    static const struct {
        char16_t mark;
        const char* name;
    } kMarks[] = {{u'\u061C', "ALM"}, {u'\u200E', "LRM"}, {u'\u200F', "RLM"}, {u'\u202A', "LRE"},
                  {u'\u202B', "RLE"}, {u'\u202C', "PDF"}, {u'\u202D', "LRO"}, {u'\u202E', "RLO"},
                  {u'\u2066', "LRI"}, {u'\u2067', "RLI"}, {u'\u2068', "FSI"}, {u'\u2069', "PDI"}};
    QString shown;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            shown += QChar(char16_t(0x2400 + u));
            continue;
        }
        if (u == 0x7F) {
            shown += QChar(char16_t(0x2421));
            continue;
        }
        const auto* mark = std::find_if(std::begin(kMarks), std::end(kMarks),
                                        [u](const auto& m) { return m.mark == u; });
        if (mark != std::end(kMarks))
            shown += u'[' + QLatin1String(mark->name) + u']';
        else
            shown += c;
    }
    return shown;
}

QString TalkTimeText(qint64 seconds) {
    char text[24];
    return QString::fromLatin1(text, WriteTalkTime(seconds, text));
}

void IsoStartText(qint64 startSeconds, char* out) {
    const DateTimeFields at = FieldsOfStartSeconds(startSeconds);
    const auto put = [&out](int value, int width, char after) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            out[i] = char('0' + value % 10);
        out += width;
        if (after)
            *out++ = after;
    };
    put(at.year, 4, '-');
    put(at.month, 2, '-');
    put(at.day, 2, 'T');
    put(at.hour, 2, ':');
    put(at.minute, 2, ':');
    put(at.second, 2, 0);
}

std::optional<QDate> IsoDate(QStringView text) {
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const qint64 year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    if (year < 1 || month < 0 || day < 0 || !QDate::isValid(int(year), int(month), int(day)))
        return std::nullopt;
    return QDate(int(year), int(month), int(day));
}

QString CallsSummaryText(qsizetype calls, qint64 talkSeconds, qsizetype unreadable) {
    if (calls == 0)
        return QStringLiteral("No calls");
    QString text = QStringLiteral("%1 %2, %3 talk time")
                       .arg(calls)
                       .arg(calls == 1 ? QStringLiteral("call") : QStringLiteral("calls"))
                       .arg(TalkTimeText(talkSeconds));
    if (unreadable > 0)
        text +=
            QStringLiteral(", %1 %2 unreadable")
                .arg(unreadable)
                .arg(unreadable == 1 ? QStringLiteral("duration") : QStringLiteral("durations"));
    return text;
}

} // namespace TextForms

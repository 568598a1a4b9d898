#include "sortkeys.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace {

SortKey readable(double number, const QString& text) {
    return SortKey{0, number, text};
}
SortKey unreadable(const QString& text) {
    return SortKey{1, 0, text};
}

SortKey numberKey(const QString& text) {
    const bool digitsOnly =
        !text.isEmpty() && text.size() <= 18 &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digitsOnly ? readable(text.toDouble(), text) : unreadable(text);
}

SortKey startTimeKey(const QString& text) {
    const QLocale c = QLocale::c();
    QDateTime at = c.toDateTime(text, QStringLiteral("M/d/yyyy h:mm:ss AP"));
    if (!at.isValid()) {
        const QDate date = c.toDate(text, QStringLiteral("M/d/yyyy"));
        if (date.isValid())
            at = QDateTime(date, QTime(0, 0));
    }
    return at.isValid() ? readable(double(at.toMSecsSinceEpoch()), text) : unreadable(text);
}

SortKey durationKey(const QString& text) {
    const QStringList fields = text.split(u':');
    if (fields.size() != 3)
        return unreadable(text);
    double seconds = 0;
    for (const QString& field : fields) {
        bool ok = false;
        const double value = field.toDouble(&ok);
        if (!ok)
            return unreadable(text);
        seconds = seconds * 60 + value;
    }
    return readable(seconds, text);
}

} // namespace

bool SortKey::operator<(const SortKey& other) const {
    if (rank != other.rank)
        return rank < other.rank;
    if (number != other.number)
        return number < other.number;
    return text < other.text;
}

SortKey SortKeyForColumn(int column, const QString& text) {
    switch (column) {
    case 0:
    case 1:
        return numberKey(text);
    case 2:
        return startTimeKey(text);
    default:
        return durationKey(text);
    }
}

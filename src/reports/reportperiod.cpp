#include "reportperiod.h"

namespace reports {

QStringList PeriodNames() {
    return {QStringLiteral("Today"),       QStringLiteral("Yesterday"),
            QStringLiteral("This week"),   QStringLiteral("Last week"),
            QStringLiteral("This month"),  QStringLiteral("Last month"),
            QStringLiteral("Last 7 days"), QStringLiteral("Last 30 days"),
            QStringLiteral("Chosen dates")};
}

std::pair<QDate, QDate> PeriodDays(Period period, QDate today, Qt::DayOfWeek firstDayOfWeek) {
    const int intoWeek = (today.dayOfWeek() - int(firstDayOfWeek) + 7) % 7;
    const QDate weekStart = today.addDays(-intoWeek);
    const QDate monthStart(today.year(), today.month(), 1);
    switch (period) {
    case Period::Today:
    case Period::Chosen:
        break;
    case Period::Yesterday:
        return {today.addDays(-1), today.addDays(-1)};
    case Period::ThisWeek:
        return {weekStart, weekStart.addDays(6)};
    case Period::LastWeek:
        return {weekStart.addDays(-7), weekStart.addDays(-1)};
    case Period::ThisMonth:
        return {monthStart, monthStart.addMonths(1).addDays(-1)};
    case Period::LastMonth:
        return {monthStart.addMonths(-1), monthStart.addDays(-1)};
    case Period::Last7Days:
        return {today.addDays(-6), today};
    case Period::Last30Days:
        return {today.addDays(-29), today};
    }
    return {today, today};
}

QString SuggestedFileName(const QString& what, QDate first, QDate last, const QString& suffix) {
    const QString from = first.toString(Qt::ISODate);
    const QString days = first == last ? from : from + u'_' + last.toString(Qt::ISODate);
    return QStringLiteral("%1-%2.%3").arg(what, days, suffix);
}

} // namespace reports

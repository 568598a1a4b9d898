#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <utility>

// The periods the reports window offers, and the days each covers.
namespace reports {

enum class Period {
    Today,
    Yesterday,
    ThisWeek,
    LastWeek,
    ThisMonth,
    LastMonth,
    Last7Days,
    Last30Days,
    Chosen, // the From and To dates as set
};

// The names as the period list shows them, in the order of Period.
QStringList PeriodNames();
// The first and last day of the period on the given day; weeks start on firstDayOfWeek.
std::pair<QDate, QDate> PeriodDays(Period period, QDate today, Qt::DayOfWeek firstDayOfWeek);
// A file name for what is shown of a period: calls-2026-11-30_2026-12-06.xlsx; one day's files
// name the day once.
QString SuggestedFileName(const QString& what, QDate first, QDate last, const QString& suffix);

} // namespace reports

#pragma once

#include <QDate>
#include <QRectF>
#include <QString>

#include <array>
#include <utility>
#include <vector>

class QPainter;

// The report's charts, each drawn on any QPainter (a PDF page, an image, a widget) inside the
// rectangle given, with its title above and its labels as text. They draw counts of calls and
// keep their proportions whatever the page size.
namespace charts {

using HourCounts = std::array<qint64, 24>;
// Monday first, as ISO 8601 numbers the days.
using WeekHourCounts = std::array<HourCounts, 7>;
using DayCounts = std::vector<std::pair<QDate, qint64>>;

// Where each figure was drawn, in the order of the figures (the week's cells day by day), so
// that a window can tell which one the pointer is over.
using Places = std::vector<QRectF>;

// A bar for each hour of the day: the calls started in it.
void PaintByHour(QPainter& painter, const QRectF& area, const HourCounts& calls,
                 Places* places = nullptr);
// A row for each day of the week, a cell for each hour; the darker, the more calls.
void PaintWeekByHour(QPainter& painter, const QRectF& area, const WeekHourCounts& calls,
                     Places* places = nullptr);
// A bar for each day of the period.
void PaintByDay(QPainter& painter, const QRectF& area, const DayCounts& calls,
                Places* places = nullptr);
// A day as the charts label it: the locale's short date without the year.
QString DayLabel(QDate day);
// A bar for each named count, labelled below with its name, under the title.
using NamedCounts = std::vector<std::pair<QString, qint64>>;
void PaintBars(QPainter& painter, const QRectF& area, const QString& title,
               const NamedCounts& counts, Places* places = nullptr);

} // namespace charts

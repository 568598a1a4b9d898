// The figures tabs: each table and its chart, filled from one report's tallies.
#include "chartview.h"
#include "reportswindow.h"
#include "reporttally.h"
#include "textforms.h"

#include <QHeaderView>
#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>

namespace {

// Keeps the value to sort and export by beside the text shown.
QStandardItem* numberItem(qint64 value) {
    auto* item = new QStandardItem;
    item->setData(value, Qt::DisplayRole);
    item->setData(value, Qt::UserRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QStandardItem* textItem(const QString& text, const QVariant& sortKey = {}) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey.isValid() ? sortKey : QVariant(text), Qt::UserRole);
    return item;
}

QStandardItem* talkItem(double seconds) {
    const qint64 whole = TextForms::WholeSeconds(seconds);
    QStandardItem* item = textItem(TextForms::TalkTimeText(whole), whole);
    item->setData(whole, ReportsWindow::kSecondsRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QStandardItem* hourItem(std::optional<int> hour) {
    return hour ? textItem(QStringLiteral("%1:00").arg(*hour, 2, 10, QLatin1Char('0')), *hour)
                : textItem(QString(), -1);
}

QString hourText(int hour) {
    return QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0'));
}

void fill(QStandardItemModel* model, const QStringList& headers,
          const std::vector<QList<QStandardItem*>>& rows) {
    model->clear();
    model->setHorizontalHeaderLabels(headers);
    for (const QList<QStandardItem*>& row : rows)
        model->appendRow(row);
}

QString count(qint64 value) {
    return QLocale().toString(value);
}

charts::NamedCounts
namedCallCounts(const std::vector<std::pair<QByteArray, Activity::NumberFigures>>& numbers) {
    charts::NamedCounts counts;
    for (const auto& [number, figures] : numbers)
        counts.emplace_back(QString::fromUtf8(number), figures.calls());
    return counts;
}

} // namespace

void ReportsWindow::showCounts(const ReportCounts& counts) {
    const files::ReportFigures& report = counts.figures;

    // By hour: the day figures summed hour by hour, the most at once the highest of any day.
    std::array<Activity::HourFigures, 24> hours{};
    for (const ReportCounts::DayRow& day : counts.days)
        for (size_t h = 0; h < 24; ++h) {
            hours[h].calls += day.hours[h].calls;
            hours[h].mostAtOnce = std::max(hours[h].mostAtOnce, day.hours[h].mostAtOnce);
        }
    std::vector<QList<QStandardItem*>> rows;
    for (int h = 0; h < 24; ++h)
        rows.push_back({textItem(hourText(h), h), numberItem(hours[size_t(h)].calls),
                        numberItem(hours[size_t(h)].mostAtOnce)});
    fill(figures_[ByHour],
         {QStringLiteral("Hour"), QStringLiteral("Calls started"), QStringLiteral("Most at once")},
         rows);
    charts_[ByHour]->setChart(
        [calls = report.callsByHour](QPainter& p, const QRectF& area, charts::Places* places) {
            charts::PaintByHour(p, area, calls, places);
        },
        [hours](int h) {
            return QStringLiteral("%1: %2 calls started, at most %3 at once")
                .arg(hourText(h), count(hours[size_t(h)].calls))
                .arg(hours[size_t(h)].mostAtOnce);
        });

    // Week by hour: a row per weekday, Monday first as the chart draws it.
    rows.clear();
    const QLocale locale;
    for (int d = 0; d < 7; ++d) {
        QList<QStandardItem*> row{textItem(locale.dayName(d + 1, QLocale::ShortFormat), d)};
        for (int h = 0; h < 24; ++h)
            row.push_back(numberItem(report.callsByWeekdayHour[size_t(d)][size_t(h)]));
        rows.push_back(row);
    }
    QStringList weekHeaders{QStringLiteral("Day")};
    for (int h = 0; h < 24; ++h)
        weekHeaders << QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
    fill(figures_[WeekByHour], weekHeaders, rows);
    tables_[WeekByHour]->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    charts_[WeekByHour]->setChart(
        [calls = report.callsByWeekdayHour](QPainter& p, const QRectF& area,
                                            charts::Places* places) {
            charts::PaintWeekByHour(p, area, calls, places);
        },
        [calls = report.callsByWeekdayHour](int i) {
            return QStringLiteral("%1 %2: %3 calls")
                .arg(QLocale().dayName(i / 24 + 1), hourText(i % 24),
                     count(calls[size_t(i / 24)][size_t(i % 24)]));
        });

    // By day.
    rows.clear();
    struct DayLine {
        QDate day;
        qint64 calls = 0, noTalk = 0;
        double talk = 0;
        std::optional<int> busiest;
    };
    std::vector<DayLine> lines;
    size_t next = 0;
    for (const auto& [day, calls] : report.callsByDay) {
        DayLine line{day, calls, 0, 0, std::nullopt};
        while (next < counts.days.size() && counts.days[next].day < day)
            ++next;
        if (next < counts.days.size() && counts.days[next].day == day) {
            const Activity::DayFigures& figures = counts.days[next].hours;
            for (const Activity::HourFigures& hour : figures) {
                line.noTalk += hour.noTalkCalls;
                line.talk += hour.talkSeconds;
            }
            line.busiest = Activity::BusiestHour(figures);
        }
        lines.push_back(line);
        rows.push_back({textItem(locale.toString(day, QLocale::ShortFormat), day.toJulianDay()),
                        numberItem(line.calls), talkItem(line.talk), numberItem(line.noTalk),
                        hourItem(line.busiest)});
    }
    fill(figures_[ByDay],
         {QStringLiteral("Day"), QStringLiteral("Calls"), QStringLiteral("Talk time"),
          QStringLiteral("No talk time"), QStringLiteral("Busiest hour")},
         rows);
    charts_[ByDay]->setChart(
        [calls = report.callsByDay](QPainter& p, const QRectF& area, charts::Places* places) {
            charts::PaintByDay(p, area, calls, places);
        },
        [lines](int i) {
            const DayLine& line = lines[size_t(i)];
            return QStringLiteral("%1: %2 calls, talk time %3")
                .arg(QLocale().toString(line.day, QLocale::LongFormat), count(line.calls),
                     TextForms::TalkTimeText(TextForms::WholeSeconds(line.talk)));
        });

    tables_[ByHour]->resizeColumnsToContents();
    tables_[ByDay]->resizeColumnsToContents();

    // By extension and the top numbers, once counted.
    if (!counts.numbersCounted)
        return;
    const auto numberRows = [](const auto& numbers) {
        std::vector<QList<QStandardItem*>> table;
        for (const auto& [number, f] : numbers)
            table.push_back({textItem(QString::fromUtf8(number)), numberItem(f.calls()),
                             numberItem(f.placed), numberItem(f.received), talkItem(f.talkSeconds),
                             numberItem(f.noTalkCalls)});
        return table;
    };
    const QStringList numberHeaders{QStringLiteral("Number"),    QStringLiteral("Calls"),
                                    QStringLiteral("Placed"),    QStringLiteral("Received"),
                                    QStringLiteral("Talk time"), QStringLiteral("No talk time")};
    QStringList extensionHeaders = numberHeaders;
    extensionHeaders[0] = QStringLiteral("Extension");
    fill(figures_[ByExtension], extensionHeaders, numberRows(counts.extensions));
    fill(figures_[TopNumbers], numberHeaders, numberRows(counts.topNumbers));
    const auto describeNumber = [](auto numbers) {
        return [numbers](int i) {
            const auto& [number, f] = numbers[size_t(i)];
            return QStringLiteral("%1: %2 calls (%3 placed, %4 received), talk time %5")
                .arg(QString::fromUtf8(number), count(f.calls()), count(f.placed),
                     count(f.received),
                     TextForms::TalkTimeText(TextForms::WholeSeconds(f.talkSeconds)));
        };
    };
    charts_[ByExtension]->setChart(
        [counts = namedCallCounts(counts.extensions)](QPainter& p, const QRectF& area,
                                                      charts::Places* places) {
            charts::PaintBars(p, area, QStringLiteral("Calls by extension"), counts, places);
        },
        describeNumber(counts.extensions));
    charts_[TopNumbers]->setChart(
        [counts = namedCallCounts(counts.topNumbers)](QPainter& p, const QRectF& area,
                                                      charts::Places* places) {
            charts::PaintBars(p, area, QStringLiteral("Numbers with the most calls"), counts,
                              places);
        },
        describeNumber(counts.topNumbers));

    tables_[ByExtension]->resizeColumnsToContents();
    tables_[TopNumbers]->resizeColumnsToContents();
}

void ReportsWindow::showCapacity(const std::vector<calls::DayCapacity>& days) {
    const QLocale locale;
    std::vector<QList<QStandardItem*>> rows;
    charts::NamedCounts lineCounts;
    for (const calls::DayCapacity& day : days) {
        rows.push_back(
            {textItem(locale.toString(day.day, QLocale::ShortFormat), day.day.toJulianDay()),
             numberItem(day.calls), numberItem(day.peakAtOnce), hourItem(day.busyHour),
             textItem(locale.toString(day.busyHourErlangs, 'f', 2), day.busyHourErlangs),
             numberItem(day.linesNeeded)});
        rows.back()[4]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lineCounts.emplace_back(charts::DayLabel(day.day), day.linesNeeded);
    }
    fill(figures_[Capacity],
         {QStringLiteral("Day"), QStringLiteral("Calls"), QStringLiteral("Most at once"),
          QStringLiteral("Busy hour"), QStringLiteral("Busy-hour erlangs"),
          QStringLiteral("Lines needed")},
         rows);
    charts_[Capacity]->setChart(
        [lineCounts](QPainter& p, const QRectF& area, charts::Places* places) {
            charts::PaintBars(p, area, QStringLiteral("Lines needed by day (1 % blocking)"),
                              lineCounts, places);
        },
        [days](int i) {
            const calls::DayCapacity& day = days[size_t(i)];
            return QStringLiteral("%1: %2 lines, %3 at once at most, %4 erlangs in the busy hour")
                .arg(QLocale().toString(day.day, QLocale::LongFormat))
                .arg(day.linesNeeded)
                .arg(day.peakAtOnce)
                .arg(QLocale().toString(day.busyHourErlangs, 'f', 2));
        });

    tables_[Capacity]->resizeColumnsToContents();
}

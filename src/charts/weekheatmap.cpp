#include "chartframe.h"
#include "charts.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace charts {

void PaintWeekByHour(QPainter& painter, const QRectF& area, const WeekHourCounts& calls,
                     Places* places) {
    painter.save();
    painter.setFont(frame::LabelFont(painter, area));
    const QRectF chart =
        frame::Title(painter, area, QStringLiteral("Calls by day of the week and hour"));
    qint64 most = 0;
    for (const HourCounts& day : calls)
        most = std::max(most, *std::max_element(day.begin(), day.end()));
    const qreal label = frame::LabelHeight(area);
    const qreal dayWidth = label * 3;
    const QRectF grid = chart.adjusted(dayWidth, 0, 0, -label * 1.6);
    const qreal cellWidth = grid.width() / 24, cellHeight = grid.height() / 7;
    const QLocale locale;
    for (int day = 0; day < 7; ++day) {
        painter.setPen(frame::kAxis);
        painter.drawText(
            QRectF(chart.left(), grid.top() + cellHeight * day, dayWidth - label * 0.4, cellHeight),
            Qt::AlignRight | Qt::AlignVCenter, locale.dayName(day + 1, QLocale::ShortFormat));
        for (int hour = 0; hour < 24; ++hour) {
            const qint64 count = std::max<qint64>(0, calls[size_t(day)][size_t(hour)]);
            // White for none, the bar colour for the most, in proportion between.
            const qreal share = most > 0 ? qreal(count) / qreal(most) : 0;
            const QColor fill = QColor::fromRgbF(float(1 - share * (1 - frame::kBar.redF())),
                                                 float(1 - share * (1 - frame::kBar.greenF())),
                                                 float(1 - share * (1 - frame::kBar.blueF())));
            painter.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 0));
            painter.setBrush(fill);
            const QRectF cell(grid.left() + cellWidth * hour, grid.top() + cellHeight * day,
                              cellWidth, cellHeight);
            painter.drawRect(cell);
            if (places)
                places->push_back(cell);
        }
    }
    painter.setPen(frame::kAxis);
    for (int hour = 0; hour < 24; hour += 3)
        painter.drawText(QRectF(grid.left() + cellWidth * hour, grid.bottom() + label * 0.2,
                                cellWidth * 3, label * 1.4),
                         Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    painter.restore();
}

} // namespace charts

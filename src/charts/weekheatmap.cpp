#include "chartframe.h"
#include "charts.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace charts {

namespace {

// White for no calls, the bar colour for the most, in proportion between.
QColor shade(qreal share) {
    return QColor::fromRgbF(float(1 - share * (1 - frame::kBar.redF())),
                            float(1 - share * (1 - frame::kBar.greenF())),
                            float(1 - share * (1 - frame::kBar.blueF())));
}

// The legend: from none (white) to the most calls in one hour of one day.
void paintLegend(QPainter& painter, const QRectF& legend, qreal label, qint64 most) {
    const QLocale locale;
    const QString none = locale.toString(0);
    const QString all = locale.toString(most);
    const QFontMetricsF metrics(painter.font());
    painter.drawText(QRectF(legend.left(), legend.top(), metrics.horizontalAdvance(none) + label,
                            legend.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, none);
    const QRectF scale(legend.left() + metrics.horizontalAdvance(none) + label * 0.5,
                       legend.top() + label * 0.2, std::min(legend.width() / 3, label * 12),
                       legend.height() - label * 0.4);
    QLinearGradient gradient(scale.topLeft(), scale.topRight());
    gradient.setColorAt(0, shade(0));
    gradient.setColorAt(1, shade(1));
    painter.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 0));
    painter.setBrush(gradient);
    painter.drawRect(scale);
    painter.setPen(frame::kAxis);
    painter.drawText(QRectF(scale.right() + label * 0.5, legend.top(),
                            legend.right() - scale.right() - label * 0.5, legend.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1 calls in an hour").arg(all));
}

} // namespace

void PaintWeekByHour(QPainter& painter, const QRectF& area, const WeekHourCounts& calls,
                     Places* places) {
    painter.save();
    painter.setFont(frame::LabelFont(painter, area));
    const QRectF chart =
        frame::Title(painter, area, QStringLiteral("Calls by day of the week and hour"));
    qint64 most = 0;
    for (const HourCounts& day : calls)
        most = std::max(most, *std::max_element(day.begin(), day.end()));
    const qreal label = frame::LabelHeight(painter, area);
    const qreal dayWidth = label * 3;
    // Below the grid: the hours, then the legend of the colours.
    const QRectF grid = chart.adjusted(dayWidth, 0, 0, -label * 3.4);
    const qreal cellWidth = grid.width() / 24, cellHeight = grid.height() / 7;
    const QLocale locale;
    for (int day = 0; day < 7; ++day) {
        painter.setPen(frame::kAxis);
        painter.drawText(
            QRectF(chart.left(), grid.top() + cellHeight * day, dayWidth - label * 0.4, cellHeight),
            Qt::AlignRight | Qt::AlignVCenter, locale.dayName(day + 1, QLocale::ShortFormat));
        for (int hour = 0; hour < 24; ++hour) {
            const qint64 count = std::max<qint64>(0, calls[size_t(day)][size_t(hour)]);
            const QColor fill = shade(most > 0 ? qreal(count) / qreal(most) : 0);
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
    if (most > 0)
        paintLegend(painter,
                    QRectF(grid.left(), grid.bottom() + label * 1.9, grid.width(), label * 1.3),
                    label, most);
    painter.restore();
}

} // namespace charts

#include "chartframe.h"
#include "charts.h"

#include <QPainter>

#include <algorithm>

namespace charts {

void PaintByHour(QPainter& painter, const QRectF& area, const HourCounts& calls, Places* places) {
    painter.save();
    painter.setFont(frame::LabelFont(painter, area));
    const QRectF chart = frame::Title(painter, area, QStringLiteral("Calls by hour of the day"));
    qint64 top = 1;
    const QRectF plot =
        frame::CountAxis(painter, chart, *std::max_element(calls.begin(), calls.end()), top);
    const qreal slot = plot.width() / 24;
    const qreal label = frame::LabelHeight(painter, area);
    painter.setPen(Qt::NoPen);
    painter.setBrush(frame::kBar);
    for (int hour = 0; hour < 24; ++hour) {
        const qreal height =
            plot.height() * qreal(std::max<qint64>(0, calls[size_t(hour)])) / qreal(top);
        painter.drawRect(
            QRectF(plot.left() + slot * (hour + 0.15), plot.bottom() - height, slot * 0.7, height));
        if (places)
            places->emplace_back(plot.left() + slot * hour, plot.top(), slot, plot.height());
    }
    painter.setPen(frame::kAxis);
    for (int hour = 0; hour < 24; hour += 3)
        painter.drawText(
            QRectF(plot.left() + slot * hour, plot.bottom() + label * 0.2, slot * 3, label * 1.4),
            Qt::AlignLeft | Qt::AlignTop,
            QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    painter.restore();
}

} // namespace charts

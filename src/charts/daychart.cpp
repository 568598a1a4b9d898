#include "chartframe.h"
#include "charts.h"

#include <QPainter>

#include <algorithm>

namespace charts {

void PaintByDay(QPainter& painter, const QRectF& area, const DayCounts& calls, Places* places) {
    painter.save();
    painter.setFont(frame::LabelFont(painter, area));
    const QRectF chart = frame::Title(painter, area, QStringLiteral("Calls by day"));
    qint64 most = 0;
    for (const auto& [day, count] : calls)
        most = std::max(most, count);
    qint64 top = 1;
    const QRectF plot = frame::CountAxis(painter, chart, most, top);
    const qreal label = frame::LabelHeight(painter, area);
    const qsizetype days = qsizetype(calls.size());
    if (days == 0) {
        painter.restore();
        return;
    }
    const qreal slot = plot.width() / qreal(days);
    painter.setPen(Qt::NoPen);
    painter.setBrush(frame::kBar);
    for (qsizetype i = 0; i < days; ++i) {
        const qreal height =
            plot.height() * qreal(std::max<qint64>(0, calls[size_t(i)].second)) / qreal(top);
        painter.drawRect(QRectF(plot.left() + slot * (qreal(i) + 0.1), plot.bottom() - height,
                                std::max<qreal>(slot * 0.8, 0.1), height));
        if (places)
            places->emplace_back(plot.left() + slot * qreal(i), plot.top(), slot, plot.height());
    }
    // As many date labels as fit, evenly spread, the first and the last among them.
    const qreal labelWidth = label * 6;
    const qsizetype fitting = std::max<qsizetype>(1, qsizetype(plot.width() / labelWidth));
    const qsizetype every = std::max<qsizetype>(1, (days + fitting - 1) / fitting);
    painter.setPen(frame::kAxis);
    for (qsizetype i = 0; i < days; i += every) {
        const qreal x = plot.left() + slot * (qreal(i) + 0.5);
        painter.drawText(
            QRectF(x - labelWidth / 2, plot.bottom() + label * 0.2, labelWidth, label * 1.4),
            Qt::AlignHCenter | Qt::AlignTop, DayLabel(calls[size_t(i)].first));
    }
    painter.restore();
}

} // namespace charts

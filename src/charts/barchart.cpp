#include "chartframe.h"
#include "charts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace charts {

void PaintBars(QPainter& painter, const QRectF& area, const QString& title,
               const NamedCounts& counts, Places* places) {
    painter.save();
    painter.setFont(frame::LabelFont(painter, area));
    const QRectF chart = frame::Title(painter, area, title);
    qint64 most = 0;
    for (const auto& [name, count] : counts)
        most = std::max(most, count);
    qint64 top = 1;
    const QRectF plot = frame::CountAxis(painter, chart, most, top);
    const qsizetype bars = qsizetype(counts.size());
    if (bars == 0) {
        painter.restore();
        return;
    }
    const qreal label = frame::LabelHeight(painter, area);
    const qreal slot = plot.width() / qreal(bars);
    painter.setPen(Qt::NoPen);
    painter.setBrush(frame::kBar);
    for (qsizetype i = 0; i < bars; ++i) {
        const qreal height =
            plot.height() * qreal(std::max<qint64>(0, counts[size_t(i)].second)) / qreal(top);
        painter.drawRect(QRectF(plot.left() + slot * (qreal(i) + 0.15), plot.bottom() - height,
                                std::max<qreal>(slot * 0.7, 0.1), height));
        if (places)
            places->emplace_back(plot.left() + slot * qreal(i), plot.top(), slot, plot.height());
    }
    // Every name that fits beside the one before it, shortened to its slot.
    painter.setPen(frame::kAxis);
    const QFontMetricsF metrics(painter.font());
    const qsizetype every =
        std::max<qsizetype>(1, qsizetype(std::ceil(label * 3 / std::max<qreal>(slot, 0.1))));
    for (qsizetype i = 0; i < bars; i += every) {
        const qreal width = slot * qreal(every);
        const QString name =
            metrics.elidedText(counts[size_t(i)].first, Qt::ElideRight, width - label * 0.2);
        painter.drawText(
            QRectF(plot.left() + slot * qreal(i), plot.bottom() + label * 0.2, width, label * 1.4),
            Qt::AlignHCenter | Qt::AlignTop, name);
    }
    painter.restore();
}

} // namespace charts

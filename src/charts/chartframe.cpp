#include "chartframe.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>

#include <limits>

namespace charts::frame {

qreal LabelHeight(const QPainter& painter, const QRectF& area) {
    const qreal byArea = std::min(area.height() / 14, area.width() / 40);
    // On a large window the labels would grow with it: they stay at most about 12 points on any
    // device, a screen, an image or a PDF page alike.
    const QPaintDevice* device = painter.device();
    const qreal most = device ? device->logicalDpiY() * 0.17 : byArea;
    return std::max<qreal>(1, std::min(byArea, most));
}

QFont LabelFont(const QPainter& painter, const QRectF& area, qreal scale, bool bold) {
    QFont font = painter.font();
    font.setPixelSize(std::max(1, qRound(LabelHeight(painter, area) * 0.85 * scale)));
    font.setBold(bold);
    return font;
}

QRectF Title(QPainter& painter, const QRectF& area, const QString& title) {
    painter.save();
    painter.setFont(LabelFont(painter, area, 1.2, true));
    painter.setPen(Qt::black);
    const qreal height = LabelHeight(painter, area) * 2;
    painter.drawText(QRectF(area.left(), area.top(), area.width(), height),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.restore();
    return area.adjusted(0, height, 0, 0);
}

qint64 ScaleTop(qint64 most) {
    if (most <= 1)
        return 1;
    qint64 power = 1;
    while (power <= most / 10)
        power *= 10;
    for (const qint64 step : {1, 2, 5})
        if (step * power >= most)
            return step * power;
    // Ten times the power, where that can be counted at all.
    return power <= std::numeric_limits<qint64>::max() / 10 ? 10 * power : most;
}

QRectF CountAxis(QPainter& painter, const QRectF& area, qint64 most, qint64& top) {
    top = ScaleTop(most);
    const qreal label = LabelHeight(painter, area);
    // The values in the locale's forms ("1,000", "1.000", "1 000"), the widest at the top.
    const QLocale locale;
    const qreal axisWidth =
        QFontMetricsF(painter.font()).horizontalAdvance(locale.toString(top)) + label;
    const QRectF plot = area.adjusted(axisWidth, label * 0.5, 0, -label * 1.6);
    painter.save();
    painter.setPen(QPen(kAxis, 0));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    for (const qint64 value : {qint64(0), top / 2, top}) {
        if (value == top / 2 && top % 2 != 0)
            continue;
        const qreal y = plot.bottom() - plot.height() * qreal(value) / qreal(top);
        painter.drawLine(QPointF(plot.left() - label * 0.3, y), QPointF(plot.left(), y));
        painter.drawText(QRectF(area.left(), y - label, axisWidth - label * 0.4, label * 2),
                         Qt::AlignRight | Qt::AlignVCenter, locale.toString(value));
    }
    painter.restore();
    return plot;
}

} // namespace charts::frame

namespace charts {

QString DayLabel(QDate day) {
    const QLocale locale;
    // The year and what joins it to the day and month: "dd.MM.yy" is "dd.MM", "M/d/yy" is
    // "M/d", "yyyy-MM-dd" is "MM-dd".
    static const QRegularExpression year(QStringLiteral("[^dM]*y+[^dM]*"));
    QString format = locale.dateFormat(QLocale::ShortFormat).remove(year).trimmed();
    if (!format.contains(QLatin1Char('d')) || !format.contains(QLatin1Char('M')))
        format = QStringLiteral("MM-dd");
    return locale.toString(day, format);
}

} // namespace charts

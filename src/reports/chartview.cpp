#include "chartview.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void ChartView::setChart(Painter painter, Describer describer) {
    painter_ = std::move(painter);
    describer_ = std::move(describer);
    places_.clear();
    update();
}

void ChartView::paintChart(QPainter& painter, const QRectF& area) const {
    painter.fillRect(area, Qt::white);
    if (painter_)
        painter_(painter, area, nullptr);
}

QImage ChartView::image(const QSize& size) const {
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size.height() / 30.0;
    paintChart(painter,
               QRectF(QPointF(0, 0), QSizeF(size)).adjusted(margin, margin, -margin, -margin));
    return picture;
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF sheet = QRectF(rect()).adjusted(4, 4, -4, -4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(sheet, 4, 4);
    places_.clear();
    if (painter_)
        painter_(painter, sheet.adjusted(10, 6, -10, -6), &places_);
}

QString ChartView::textAt(const QPointF& point) const {
    for (size_t i = 0; i < places_.size(); ++i)
        if (places_[i].contains(point))
            return describer_ ? describer_(int(i)) : QString();
    return {};
}

bool ChartView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = textAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

#pragma once

#include "charts.h"

#include <QImage>
#include <QWidget>

#include <functional>

// Shows one of the report's charts, drawn by its painter on a light sheet so that it reads the
// same in a dark palette as on paper. The pointer over a bar or cell shows its exact value.
class ChartView : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const QRectF&, charts::Places*)>;
    // The text shown for the figure at a place, by its index.
    using Describer = std::function<QString(int index)>;

    explicit ChartView(QWidget* parent = nullptr);

    void setChart(Painter painter, Describer describer);
    bool hasChart() const { return bool(painter_); }
    // Paints the chart alone, as a file or a printer gets it.
    void paintChart(QPainter& painter, const QRectF& area) const;
    QImage image(const QSize& size) const;
    // Where each figure was drawn at the last paint, in widget coordinates.
    const charts::Places& places() const { return places_; }
    // The text the pointer at a point of the widget gets; empty where there is no figure.
    QString textAt(const QPointF& point) const;

    QSize sizeHint() const override { return {640, 260}; }
    QSize minimumSizeHint() const override { return {240, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    Painter painter_;
    Describer describer_;
    charts::Places places_;
};

#pragma once

#include <QColor>
#include <QDate>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

// What the charts share: the title line, the plot area left for the bars and the scale.
namespace charts::frame {

inline const QColor kBar(0x8B, 0x00, 0x00); // the window's dark red
inline const QColor kAxis(0x40, 0x40, 0x40);

// Draws the title at the top of area and gives the rest, below it.
QRectF Title(QPainter& painter, const QRectF& area, const QString& title);
// Draws a vertical count axis at the left of area, 0 to the top of the scale, and gives the
// plot area right of it and above room for labels.
QRectF CountAxis(QPainter& painter, const QRectF& area, qint64 most, qint64& top);
// The smallest round number (1, 2 or 5 times a power of ten) at or above most; 1 for nothing.
qint64 ScaleTop(qint64 most);
// A text height in the painter's units, for labels of the chart's size.
qreal LabelHeight(const QPainter& painter, const QRectF& area);
// The labels' font at that height (times scale), in the painter's units.
QFont LabelFont(const QPainter& painter, const QRectF& area, qreal scale = 1, bool bold = false);

} // namespace charts::frame

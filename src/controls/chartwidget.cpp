#include "chartwidget.h"

#include "twips.h"

#include <QPainter>

namespace {

constexpr int kLeft = ChartWidget::kLeftTwips;

// Converts a point of the main window's client area, in twips, to the chart's own pixels.
constexpr int px(int twips, int originTwips) {
    return Twips::px(twips - originTwips);
}
constexpr int toX(int twips) {
    return px(twips, ChartWidget::kLeftTwips);
}
constexpr int toY(int twips) {
    return px(twips, ChartWidget::kTopTwips);
}
constexpr int len(int twips) {
    return Twips::px(twips);
}

QRect rectFromTwips(int left, int top, int width, int height) {
    return QRect(toX(left), toY(top), len(width), len(height));
}

// An outline one pixel wide drawn inside the rectangle, as a bordered shape is.
void drawOutline(QPainter& painter, const QRect& r, const QColor& colour) {
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

const QColor kFromCellColour(128, 0, 0); // 0x000080
const QColor kToCellColour(64, 64, 64);  // 0x404040
const QColor kShadingColour(192, 192, 192);
// The design draws on the window's light grey and writes in black, whatever the desktop's
// colours: a dark theme must not hide the labels or the grey cells.
const QColor kBackgroundColour(240, 240, 240);
const QColor kLineColour(Qt::black);

} // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
    setGeometry(len(kLeftTwips), len(kTopTwips), len(kRightTwips - kLeftTwips),
                len(kBottomTwips - kTopTwips));
}

void ChartWidget::setCells(const MinuteCells& cells) {
    if (cells == cells_)
        return;
    cells_ = cells;
    update();
}

QRect ChartWidget::fromCellRect(int minute) {
    const int c = minute / 60, r = minute % 60;
    return rectFromTwips(kLeft + 240 * c, 720 + 120 * r, 135, 135);
}

QRect ChartWidget::toCellRect(int minute) {
    const int c = minute / 60, r = minute % 60;
    return rectFromTwips(kLeft + 120 + 240 * c, 720 + 120 * r, 135, 135);
}

QRect ChartWidget::hourLabelRect(int column) {
    return rectFromTwips(kLeft + 240 * column, 480, 255, 255);
}

QString ChartWidget::hourLabelText(int column) {
    const int hour = column % 12;
    return QStringLiteral("%1").arg(hour == 0 ? 12 : hour, 2, 10, QLatin1Char('0'));
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor windowText = kLineColour;
    painter.fillRect(rect(), kBackgroundColour);

    // Bottom layer first: the opaque shading must stay beneath the cells.
    for (int column = 1; column < 24; column += 2) {
        const QRect shading = rectFromTwips(kLeft + 240 * column, 720, 255, 7215);
        painter.fillRect(shading, kShadingColour);
        drawOutline(painter, shading, windowText);
    }
    drawOutline(painter, rectFromTwips(kLeft, 720, 5775, 7215), windowText);

    painter.setPen(QPen(windowText, 1));
    for (int q = 0; q < 3; ++q) {
        const int lineY = toY(2520 + 1800 * q);
        painter.drawLine(toX(kLeft), lineY, toX(14160), lineY);
    }
    drawOutline(painter, rectFromTwips(kLeft, 480, 5775, 255), kToCellColour);

    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    for (int j = 0; j < 23; ++j) {
        const int lineX = toX(8640 + 240 * j);
        painter.drawLine(lineX, toY(480), lineX, toY(7920));
    }

    for (int m = 0; m < kMinutesPerDay; ++m) {
        if (cells_.to.test(static_cast<size_t>(m)))
            painter.fillRect(toCellRect(m), kToCellColour);
    }
    for (int m = 0; m < kMinutesPerDay; ++m) {
        if (cells_.from.test(static_cast<size_t>(m)))
            painter.fillRect(fromCellRect(m), kFromCellColour);
    }

    painter.setFont(font());
    for (int column = 0; column < 24; ++column) {
        const QRect label = hourLabelRect(column);
        painter.fillRect(label, Qt::white);
        painter.setPen(windowText);
        painter.drawText(label, Qt::AlignCenter, hourLabelText(column));
    }
}

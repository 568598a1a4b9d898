#pragma once

#include "minutecells.h"

#include <QWidget>

// The day's activity chart: 24 hour columns of 60 minute rows, each minute with a from-cell
// (dark red) and a to-cell (dark grey). Painted as one widget; its state is just the cells.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    // The chart occupies this rectangle of the main window's client area, in twips.
    static constexpr int kLeftTwips = 8400;
    static constexpr int kTopTwips = 480;
    static constexpr int kRightTwips = 14175;
    static constexpr int kBottomTwips = 7935;

    explicit ChartWidget(QWidget* parent = nullptr);

    void setCells(const MinuteCells& cells);
    const MinuteCells& cells() const { return cells_; }

    // Where a minute's cells lie, in the widget's own pixels.
    static QRect fromCellRect(int minute);
    static QRect toCellRect(int minute);
    static QRect hourLabelRect(int column);
    static QString hourLabelText(int column);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MinuteCells cells_;
};

#pragma once

#include <QColor>
#include <QRgb>
#include <QSize>

#include <vector>

class QPainter;

// A vertical linear gradient over a whole area: BottomColor at the bottom
// edge to TopColor at the top edge. Rendered once per size, into one pixel
// column: the rows are kept as runs of equal colour, and a repaint fills
// each run, which touches no image memory and costs less than drawing a
// window-sized image.
class TGradientFill {
public:
    QColor BottomColor{0xB6, 0xB6, 0xB6};
    QColor TopColor{0xFF, 0xFF, 0xFF};

    void Paint(QPainter& painter, const QSize& area, qreal devicePixelRatio);

private:
    // Device rows [top, top + rows) of one colour.
    struct TRun {
        int top;
        int rows;
        QRgb colour;
    };

    std::vector<TRun> RowRuns(const QSize& area, qreal devicePixelRatio) const;

    std::vector<TRun> cachedRuns_;
    QSize cachedFor_;
    qreal cachedRatio_ = 0;
};

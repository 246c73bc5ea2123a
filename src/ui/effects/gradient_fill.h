#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

class QPainter;

// A vertical linear gradient over a whole area: BottomColor at the bottom
// edge to TopColor at the top edge. Rendered once per size and kept.
class TGradientFill {
public:
    QColor BottomColor{0xB6, 0xB6, 0xB6};
    QColor TopColor{0xFF, 0xFF, 0xFF};

    void Paint(QPainter& painter, const QSize& area, qreal devicePixelRatio);

private:
    QImage cachedFill_;
    QSize cachedFor_;
    qreal cachedRatio_ = 0;
};

#pragma once

#include "ui/effects/alpha_blur.h"

#include <QColor>
#include <QRect>

#include <vector>

class QPainter;

// A soft drop shadow of an opaque rectangular control, drawn by the control's
// parent beneath it. The blurred shadow is kept for the control's size (and the
// shadow's offset, as the part beneath the control is left out), so a
// repaint only draws its kept pieces until the control is resized.
class TShadowEffect {
public:
    bool Enabled = true;
    qreal Distance = 3;
    qreal Direction = 45;  // degrees, clockwise from the positive x axis
    qreal Softness = 0.3;
    qreal Opacity = 0.6;
    QColor ShadowColor = QColor::fromRgba(0xFF000000);  // ARGB: opaque black

    void Paint(QPainter& painter, const QRect& caster, qreal devicePixelRatio);

private:
    int BlurRadius() const;
    static QRect Covered(QSize caster, int margin, QPointF offset, qreal devicePixelRatio);

    std::vector<TImagePiece> cachedShadow_;  // in device pixels, from the shadow's corner
    QSize cachedFor_;
    qreal cachedRatio_ = 0;
    QPointF cachedOffset_;
};

#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

// A soft drop shadow of an opaque rectangular control, drawn by the control's
// parent beneath it. The blurred shadow is kept for the control's size (and the
// shadow's offset, as the part beneath the control is left out), so a
// repaint is one image draw until the control is resized.
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

    QImage cachedShadow_;
    QSize cachedFor_;
    qreal cachedRatio_ = 0;
    QPointF cachedOffset_;
};

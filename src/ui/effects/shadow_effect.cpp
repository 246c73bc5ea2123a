#include "ui/effects/shadow_effect.h"

#include "ui/effects/alpha_blur.h"
#include "ui/effects/unsplit_image_draw.h"

#include <QPainter>
#include <QtMath>

#include <cmath>
#include <numbers>

// Softness is a fraction; scaled to a blur radius in logical pixels.
inline constexpr qreal SoftnessToRadius = 8;

int TShadowEffect::BlurRadius() const
{
    return qMax(1, qRound(Softness * SoftnessToRadius));
}

// The part of the shadow's image that the caster covers, in the image's
// device pixels: the caster is opaque but for its outermost pixel (a frame
// there may be partly transparent on a finer screen), and one device pixel
// more is given up on every side for where the image lands when drawn at a
// fractional position.
QRect TShadowEffect::Covered(QSize caster, int margin, QPointF offset, qreal devicePixelRatio)
{
    const QRectF opaque = QRectF(QPointF(margin, margin) - offset, QSizeF(caster)).adjusted(1, 1, -1, -1);
    const QRectF device(opaque.topLeft() * devicePixelRatio, opaque.size() * devicePixelRatio);
    return QRect(QPoint(qCeil(device.left()) + 1, qCeil(device.top()) + 1),
                 QPoint(qFloor(device.right()) - 2, qFloor(device.bottom()) - 2));
}

void TShadowEffect::Paint(QPainter& painter, const QRect& caster, qreal devicePixelRatio)
{
    if (!Enabled || caster.isEmpty())
        return;
    const int margin = 3 * BlurRadius();
    const qreal radians = Direction * std::numbers::pi / 180;
    const QPointF offset(Distance * std::cos(radians), Distance * std::sin(radians));
    // The covered part depends on the offset, so a new offset makes it anew.
    if (cachedFor_ != caster.size() || cachedRatio_ != devicePixelRatio || cachedOffset_ != offset) {
        cachedShadow_ = SoftColouredRectangle(caster.size() * devicePixelRatio, qRound(margin * devicePixelRatio),
                                              qRound(BlurRadius() * devicePixelRatio), ShadowColor, Opacity,
                                              Covered(caster.size(), margin, offset, devicePixelRatio));
        for (TImagePiece& piece : cachedShadow_)
            piece.image.setDevicePixelRatio(devicePixelRatio);
        cachedFor_ = caster.size();
        cachedRatio_ = devicePixelRatio;
        cachedOffset_ = offset;
    }
    DrawPiecesUnsplit(painter, QPointF(caster.topLeft() - QPoint(margin, margin)) + offset, cachedShadow_,
                      devicePixelRatio);
}

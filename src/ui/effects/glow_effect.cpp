#include "ui/effects/glow_effect.h"

#include "ui/effects/alpha_blur.h"
#include "ui/effects/unsplit_image_draw.h"

#include <QPainter>
#include <QtMath>

// Softness is a fraction; scaled to a blur radius in logical pixels.
inline constexpr qreal SoftnessToRadius = 16;
// A plain blur halves the alpha at the silhouette's edge; doubling it gives
// a glow that reads as a halo rather than a faint haze.
inline constexpr qreal GlowStrength = 2;

int TGlowEffect::BlurRadius() const
{
    return qMax(1, qRound(Softness * SoftnessToRadius));
}

void TGlowEffect::SetSilhouette(const QImage& silhouette, const std::vector<QRect>& covered)
{
    const qreal ratio = silhouette.devicePixelRatio();
    const int margin = 3 * BlurRadius();
    // Only the device pixels wholly inside.
    std::vector<QRect> hidden;
    for (const QRect& rect : covered) {
        const QRectF device(QPointF(rect.topLeft()) * ratio, QSizeF(rect.size()) * ratio);
        hidden.push_back(QRect(QPoint(qCeil(device.left()), qCeil(device.top())),
                               QPoint(qFloor(device.right()) - 1, qFloor(device.bottom()) - 1)));
    }
    cachedGlow_ = SoftColouredSilhouette(silhouette, qRound(margin * ratio), qRound(BlurRadius() * ratio),
                                         GlowColor, Opacity * GlowStrength, hidden);
    for (TImagePiece& piece : cachedGlow_)
        piece.image.setDevicePixelRatio(ratio);
    cachedRatio_ = ratio;
}

void TGlowEffect::Paint(QPainter& painter) const
{
    if (Enabled)
        DrawPiecesUnsplit(painter, QPointF(), cachedGlow_, cachedRatio_);
}

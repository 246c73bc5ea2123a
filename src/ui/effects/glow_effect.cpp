#include "glow_effect.h"

#include "alpha_blur.h"

#include <QPainter>

// Softness is a fraction; scaled to a blur radius in logical pixels.
inline constexpr qreal SoftnessToRadius = 16;
// A plain blur halves the alpha at the silhouette's edge; doubling it gives
// a glow that reads as a halo rather than a faint haze.
inline constexpr qreal GlowStrength = 2;

int TGlowEffect::BlurRadius() const
{
    return qMax(1, qRound(Softness * SoftnessToRadius));
}

void TGlowEffect::SetSilhouette(const QImage& silhouette)
{
    const qreal ratio = silhouette.devicePixelRatio();
    const int margin = 3 * BlurRadius();
    cachedGlow_ = SoftColouredSilhouette(silhouette, qRound(margin * ratio), qRound(BlurRadius() * ratio),
                                         GlowColor, Opacity * GlowStrength);
    cachedGlow_.setDevicePixelRatio(ratio);
    origin_ = QPoint(-margin, -margin);
}

void TGlowEffect::Paint(QPainter& painter) const
{
    if (Enabled && !cachedGlow_.isNull())
        painter.drawImage(origin_, cachedGlow_);
}

#include "shadow_effect.h"

#include "alpha_blur.h"

#include <QPainter>

#include <cmath>
#include <numbers>

// Softness is a fraction; scaled to a blur radius in logical pixels.
inline constexpr qreal SoftnessToRadius = 8;

int TShadowEffect::BlurRadius() const
{
    return qMax(1, qRound(Softness * SoftnessToRadius));
}

void TShadowEffect::Paint(QPainter& painter, const QRect& caster, qreal devicePixelRatio)
{
    if (!Enabled || caster.isEmpty())
        return;
    const int margin = 3 * BlurRadius();
    if (cachedFor_ != caster.size() || cachedRatio_ != devicePixelRatio) {
        cachedShadow_ = SoftColouredRectangle(caster.size() * devicePixelRatio, qRound(margin * devicePixelRatio),
                                              qRound(BlurRadius() * devicePixelRatio), ShadowColor, Opacity);
        cachedShadow_.setDevicePixelRatio(devicePixelRatio);
        cachedFor_ = caster.size();
        cachedRatio_ = devicePixelRatio;
    }
    const qreal radians = Direction * std::numbers::pi / 180;
    const QPointF offset(Distance * std::cos(radians), Distance * std::sin(radians));
    painter.drawImage(QPointF(caster.topLeft() - QPoint(margin, margin)) + offset, cachedShadow_);
}

#include "ui/effects/warp_effect.h"

#include "ui/effects/effect_trigger.h"

#include <QPainter>

namespace {

qreal CubicBezier(qreal t, qreal p0, qreal p1, qreal p2, qreal p3)
{
    const qreal u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

}  // namespace

void TWarpEffect::ApplyTrigger(const QHash<QString, bool>& states)
{
    Enabled = TriggerHolds(Trigger, states);
}

const QImage& TWarpEffect::Warped(const QImage& source)
{
    if (cachedFor_ == source.cacheKey() && !cachedWarp_.isNull())
        return cachedWarp_;
    cachedWarp_ = QImage(source.size(), QImage::Format_ARGB32_Premultiplied);
    cachedWarp_.setDevicePixelRatio(source.devicePixelRatio());
    cachedWarp_.fill(Qt::transparent);
    QPainter painter(&cachedWarp_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Work in device pixels: one source row becomes one destination row.
    painter.scale(1 / source.devicePixelRatio(), 1 / source.devicePixelRatio());
    const qreal width = source.width();
    const int height = source.height();
    for (int row = 0; row < height; ++row) {
        const qreal t = (row + 0.5) / height;
        const qreal left = width * CubicBezier(t, LeftStart, LeftControl1, LeftControl2, LeftEnd);
        const qreal right = width * CubicBezier(t, RightStart, RightControl1, RightControl2, RightEnd);
        painter.drawImage(QRectF(left, row, right - left, 1), source, QRectF(0, row, width, 1));
    }
    cachedFor_ = source.cacheKey();
    return cachedWarp_;
}

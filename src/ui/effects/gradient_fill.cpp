#include "ui/effects/gradient_fill.h"

#include "ui/effects/unsplit_image_draw.h"

#include <QLinearGradient>
#include <QPainter>

void TGradientFill::Paint(QPainter& painter, const QSize& area, qreal devicePixelRatio)
{
    if (cachedFor_ != area || cachedRatio_ != devicePixelRatio) {
        cachedFill_ = QImage(area * devicePixelRatio, QImage::Format_RGB32);
        cachedFill_.setDevicePixelRatio(devicePixelRatio);
        QLinearGradient gradient(0, area.height(), 0, 0);
        gradient.setColorAt(0, BottomColor);
        gradient.setColorAt(1, TopColor);
        QPainter(&cachedFill_).fillRect(QRect(QPoint(), area), gradient);
        cachedFor_ = area;
        cachedRatio_ = devicePixelRatio;
    }
    DrawImageUnsplit(painter, QPoint(), cachedFill_);
}

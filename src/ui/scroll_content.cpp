#include "scroll_content.h"

#include "effects/glow_effect.h"
#include "effects/shadow_effect.h"

#include <QPainter>

TScrollContent::TScrollContent(TGlowEffect& glow, QWidget* parent) : QWidget(parent), glow_(glow) {}

void TScrollContent::AddShadow(QWidget& caster, TShadowEffect& shadow)
{
    shadows_.push_back({&caster, &shadow});
}

void TScrollContent::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    glow_.Paint(painter);
    for (const TShadowedChild& child : shadows_) {
        if (child.caster && child.caster->isVisible())
            child.shadow->Paint(painter, child.caster->geometry(), devicePixelRatioF());
    }
}

// Children are laid out before this widget hears of its new size, so their
// geometry is already final here.
void TScrollContent::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    glow_.SetSilhouette(ChildrenSilhouette());
}

QImage TScrollContent::ChildrenSilhouette() const
{
    const qreal ratio = devicePixelRatioF();
    QImage silhouette(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    silhouette.setDevicePixelRatio(ratio);
    silhouette.fill(Qt::transparent);
    QPainter painter(&silhouette);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden())
            child->render(&painter, child->pos(), QRegion(), QWidget::DrawChildren);
    }
    return silhouette;
}

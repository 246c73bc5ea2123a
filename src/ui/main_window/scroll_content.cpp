#include "ui/main_window/scroll_content.h"

#include "ui/effects/glow_effect.h"
#include "ui/effects/shadow_effect.h"

#include <QPainter>

#include <algorithm>

TScrollContent::TScrollContent(TGlowEffect& glow, QWidget* parent) : QWidget(parent), glow_(glow) {}

void TScrollContent::AddShadow(QWidget& caster, TShadowEffect& shadow)
{
    shadows_.push_back({&caster, &shadow});
}

// Children render into an image of their own, not onto this widget, so
// taking the silhouette here is safe; it happens only after a layout change
// or when the window has moved to a screen of another pixel density.
void TScrollContent::paintEvent(QPaintEvent*)
{
    TSilhouetteKey key{VisibleChildGeometries(), devicePixelRatioF()};
    if (key != silhouetteOf_) {
        glow_.SetSilhouette(ChildrenSilhouette(), OpaqueInteriors());
        silhouetteOf_ = std::move(key);
    }
    QPainter painter(this);
    glow_.Paint(painter);
    for (const TShadowedChild& child : shadows_) {
        if (child.caster && child.caster->isVisible())
            child.shadow->Paint(painter, child.caster->geometry(), devicePixelRatioF());
    }
}

bool TScrollContent::CastsShadow(const QWidget& child) const
{
    return std::ranges::any_of(shadows_, [&](const TShadowedChild& shadowed) { return shadowed.caster == &child; });
}

std::vector<QRect> TScrollContent::VisibleChildGeometries() const
{
    std::vector<QRect> geometries;
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            geometries.push_back(child->geometry());
    }
    return geometries;
}

// The children with a drop shadow are opaque rectangles (as their shadows
// assume), all but their outermost pixel: a frame drawn there may leave
// device pixels partly transparent on a screen of ratio above 1.
std::vector<QRect> TScrollContent::OpaqueInteriors() const
{
    std::vector<QRect> interiors;
    for (const TShadowedChild& child : shadows_) {
        if (child.caster && child.caster->isVisible())
            interiors.push_back(child.caster->geometry().adjusted(1, 1, -1, -1));
    }
    return interiors;
}

QImage TScrollContent::ChildrenSilhouette() const
{
    const qreal ratio = devicePixelRatioF();
    // Only its alpha counts: a quarter of the memory of a colour image.
    QImage silhouette(size() * ratio, QImage::Format_Alpha8);
    silhouette.setDevicePixelRatio(ratio);
    silhouette.fill(Qt::transparent);
    QPainter painter(&silhouette);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible())
            continue;
        // A child with a drop shadow is an opaque rectangle (as its shadow
        // assumes): its outline is known without drawing it.
        if (CastsShadow(*child))
            painter.fillRect(child->geometry(), Qt::black);
        else
            child->render(&painter, child->pos(), QRegion(), QWidget::DrawChildren);
    }
    return silhouette;
}

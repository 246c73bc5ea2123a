#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

class TGlowEffect;
class TShadowEffect;

// The content of the scroll box. It has no background of its own (the
// window's gradient shows through); beneath its children it draws the scroll
// box's glow around all of them and the drop shadows of the children that
// have one (opaque rectangles, such as a panel or a list). The glow's
// silhouette is taken from the children again only when their geometry or the
// screen's pixel density has changed, so an ordinary repaint only draws kept
// images.
class TScrollContent : public QWidget {
    Q_OBJECT
public:
    TScrollContent(TGlowEffect& glow, QWidget* parent);

    void AddShadow(QWidget& caster, TShadowEffect& shadow);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool CastsShadow(const QWidget& child) const;
    std::vector<QRect> VisibleChildGeometries() const;
    QImage ChildrenSilhouette() const;
    std::vector<QRect> OpaqueInteriors() const;

    struct TShadowedChild {
        QPointer<QWidget> caster;
        TShadowEffect* shadow;
    };

    TGlowEffect& glow_;
    std::vector<TShadowedChild> shadows_;
    // What the glow was made for: the children's geometries and the density.
    struct TSilhouetteKey {
        std::vector<QRect> geometries;
        qreal devicePixelRatio = 0;
        bool operator==(const TSilhouetteKey&) const = default;
    };
    TSilhouetteKey silhouetteOf_;
};

#pragma once

#include "ui/effects/alpha_blur.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <vector>

class QPainter;

// A soft outer glow in one colour around everything a container draws. The
// container hands over a silhouette of its drawing whenever that changes
// shape; the blurred glow is kept until then, so a repaint only draws the kept
// pieces of it.
class TGlowEffect {
public:
    bool Enabled = true;
    qreal Softness = 0.4;
    QColor GlowColor = QColor::fromRgba(0xFF1E90FF);  // ARGB: dodger blue
    qreal Opacity = 0.9;

    // `covered`: rectangles (logical pixels, in the silhouette) that the
    // container's children fill opaquely, so the glow beneath them is never seen.
    void SetSilhouette(const QImage& silhouette, const std::vector<QRect>& covered);
    void Paint(QPainter& painter) const;

private:
    int BlurRadius() const;

    std::vector<TImagePiece> cachedGlow_;  // in the container's device pixels
    qreal cachedRatio_ = 1;
};

#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <vector>

// Soft, single-colour shapes for glows and shadows: the shape's alpha
// blurred by three box passes (close to a Gaussian of the given radius),
// painted in `color` at `opacity`. `margin` transparent pixels are added on
// every side so the blur has room to spread: the result is the shape's size
// plus 2 * margin. Sizes are in device pixels.

// Any shape, given by the alpha channel of `silhouette`. The result is left
// transparent inside the `hidden` rectangles (in the silhouette's pixels),
// which what the silhouette was taken from covers opaquely when drawn over
// the glow: colouring them would be wasted work.
QImage SoftColouredSilhouette(const QImage& silhouette, int margin, int radius, const QColor& color, qreal opacity,
                              const std::vector<QRect>& hidden);

// A filled rectangle of `size`. A box blur of a rectangle is separable, so
// this costs one blurred line per axis instead of a blurred plane. The result
// is left transparent inside `hidden` (in the result's pixels; may be empty),
// which is covered when the shadow is drawn.
QImage SoftColouredRectangle(QSize size, int margin, int radius, const QColor& color, qreal opacity,
                             const QRect& hidden);

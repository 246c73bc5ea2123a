#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

// Soft, single-colour shapes for glows and shadows: the shape's alpha
// blurred by three box passes (close to a Gaussian of the given radius),
// painted in `color` at `opacity`. `margin` transparent pixels are added on
// every side so the blur has room to spread: the result is the shape's size
// plus 2 * margin. Sizes are in device pixels.

// One part of a soft image: its place (device pixels, in the coordinates of
// what the image was made for) and its pixels.
struct TImagePiece {
    QPoint at;
    QImage image;
};

// Any shape, given by the alpha channel of `silhouette`, blurred as though
// `margin` transparent pixels surrounded it. Only the silhouette's own area
// is made, as the pieces of it outside the `hidden` rectangles (in the
// silhouette's pixels): a glow is drawn by what the silhouette was taken
// from, which shows nothing beyond its area and covers the hidden ones
// opaquely, so those pixels would be wasted work and memory.
std::vector<TImagePiece> SoftColouredSilhouette(const QImage& silhouette, int margin, int radius, const QColor& color,
                                                qreal opacity, const std::vector<QRect>& hidden);

// A filled rectangle of `size`. A box blur of a rectangle is separable, so
// this costs one blurred line per axis instead of a blurred plane. The
// result, `size` plus `margin` on every side, is made as the pieces of it
// outside `hidden` (in the result's pixels; may be empty), which is covered
// when the shadow is drawn.
std::vector<TImagePiece> SoftColouredRectangle(QSize size, int margin, int radius, const QColor& color,
                                               qreal opacity, const QRect& hidden);

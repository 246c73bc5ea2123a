#pragma once

#include <QColor>
#include <QImage>

// A soft, single-colour copy of `silhouette`: its alpha channel blurred by
// three box passes (close to a Gaussian of the given radius), then painted in
// `color` at `opacity`. `margin` transparent pixels are added on every side so
// the blur has room to spread; the result is silhouette size + 2 * margin.
QImage SoftColouredSilhouette(const QImage& silhouette, int margin, int radius,
                              const QColor& color, qreal opacity);

#include "ui/effects/unsplit_image_draw.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace {

// Qt runs a plain blit on its worker threads from 2^17 pixels on. Through a
// clip that is not one rectangle (a widget's paint region leaves out its
// opaque children) it draws span by span, one span per stretch of the clip
// in a row, and runs that on its worker threads from 96 spans on: 31 rows
// stay below that with up to three stretches a row.
constexpr qsizetype LargestUnsplitBlit = 2 * 65536 - 1;
constexpr int MostUnsplitRows = 31;

void DrawImageUnsplit(QPainter& painter, QPointF position, const QImage& image)
{
    // Strips are cut in the image's own pixels; at another pixel ratio they
    // could meet between the painter's device pixels.
    if (image.devicePixelRatio() != 1 || image.width() == 0) {
        painter.drawImage(position, image);
        return;
    }
    const int rowsPerStrip = std::clamp(int(LargestUnsplitBlit / image.width()), 1, MostUnsplitRows);
    for (int top = 0; top < image.height(); top += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, image.height() - top);
        painter.drawImage(position + QPointF(0, top), image, QRectF(0, top, image.width(), rows));
    }
}

}  // namespace

void DrawPiecesUnsplit(QPainter& painter, QPointF corner, const std::vector<TImagePiece>& pieces,
                       qreal devicePixelRatio)
{
    for (const TImagePiece& piece : pieces)
        DrawImageUnsplit(painter, corner + QPointF(piece.at) / devicePixelRatio, piece.image);
}

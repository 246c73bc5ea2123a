#pragma once

#include <QPoint>

class QImage;
class QPainter;

// Draws `image` with its top-left corner at `position`, as
// QPainter::drawImage does, but all on the calling thread. Qt hands the
// blit of an image of more than about 130,000 pixels to worker threads,
// which it starts on first use: for a window-sized image that costs the
// process more than the blit itself, and a kept effect image is drawn
// whole at every repaint. Such an image is drawn in strips below that size,
// which gives the same pixels.
void DrawImageUnsplit(QPainter& painter, QPointF position, const QImage& image);

#pragma once

#include <QPointF>

class QImage;
class QPainter;

// Draws `image` with its top-left corner at `position`, as
// QPainter::drawImage does, but all on the calling thread. Qt hands a large
// image draw to worker threads, which it starts on first use: for the
// window's first paint that costs the process more than the drawing, and
// the kept effect images are drawn again at every repaint. A large image is
// drawn in strips below the sizes at which Qt does that, which gives the
// same pixels.
void DrawImageUnsplit(QPainter& painter, QPointF position, const QImage& image);

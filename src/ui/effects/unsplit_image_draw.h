#pragma once

#include "ui/effects/alpha_blur.h"

#include <QPointF>

#include <vector>

class QPainter;

// Draws each piece of a soft image at its place, counted in device pixels
// from `corner`, as QPainter::drawImage does, but all on the calling thread.
// Qt hands a large image draw to worker threads, which it starts on first
// use: for the window's first paint that costs the process more than the
// drawing, and the kept effect images are drawn again at every repaint. A
// large piece is drawn in strips below the sizes at which Qt does that,
// which gives the same pixels.
void DrawPiecesUnsplit(QPainter& painter, QPointF corner, const std::vector<TImagePiece>& pieces,
                       qreal devicePixelRatio);

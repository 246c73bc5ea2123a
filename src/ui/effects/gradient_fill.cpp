#include "ui/effects/gradient_fill.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

// Qt's own rendering of the gradient, one device pixel wide: a vertical
// gradient gives every pixel of a row the same colour.
std::vector<TGradientFill::TRun> TGradientFill::RowRuns(const QSize& area, qreal devicePixelRatio) const
{
    QImage column(1, (area * devicePixelRatio).height(), QImage::Format_RGB32);
    column.setDevicePixelRatio(devicePixelRatio);
    QLinearGradient gradient(0, area.height(), 0, 0);
    gradient.setColorAt(0, BottomColor);
    gradient.setColorAt(1, TopColor);
    QPainter(&column).fillRect(QRect(QPoint(), area), gradient);

    std::vector<TRun> runs;
    for (int y = 0; y < column.height(); ++y) {
        const QRgb colour = column.pixel(0, y);
        if (!runs.empty() && runs.back().colour == colour)
            ++runs.back().rows;
        else
            runs.push_back({y, 1, colour});
    }
    return runs;
}

void TGradientFill::Paint(QPainter& painter, const QSize& area, qreal devicePixelRatio)
{
    if (cachedFor_ != area || cachedRatio_ != devicePixelRatio) {
        cachedRuns_ = RowRuns(area, devicePixelRatio);
        cachedFor_ = area;
        cachedRatio_ = devicePixelRatio;
    }
    // One device pixel wider than the area: its last device column may be
    // only partly inside at a fractional pixel ratio.
    const qreal width = area.width() + 1 / devicePixelRatio;
    for (const TRun& run : cachedRuns_) {
        painter.fillRect(QRectF(0, run.top / devicePixelRatio, width, run.rows / devicePixelRatio),
                         QColor::fromRgb(run.colour));
    }
}

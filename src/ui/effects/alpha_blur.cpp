#include "alpha_blur.h"

#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

// One box pass of width 2 * radius + 1 along rows (step 1) or columns
// (step = width), with a running sum so its cost does not grow with the radius.
void BoxPass(std::vector<float>& alpha, int count, int length, int step, int lineStep, int radius)
{
    std::vector<float> line(static_cast<std::size_t>(length));
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int l = 0; l < count; ++l) {
        const int base = l * lineStep;
        for (int i = 0; i < length; ++i)
            line[static_cast<std::size_t>(i)] = alpha[static_cast<std::size_t>(base + i * step)];
        float sum = 0;
        for (int i = 0; i <= std::min(radius, length - 1); ++i)
            sum += line[static_cast<std::size_t>(i)];
        for (int i = 0; i < length; ++i) {
            alpha[static_cast<std::size_t>(base + i * step)] = sum * scale;
            const int entering = i + radius + 1;
            const int leaving = i - radius;
            if (entering < length)
                sum += line[static_cast<std::size_t>(entering)];
            if (leaving >= 0)
                sum -= line[static_cast<std::size_t>(leaving)];
        }
    }
}

}  // namespace

QImage SoftColouredSilhouette(const QImage& silhouette, int margin, int radius,
                              const QColor& color, qreal opacity)
{
    const int width = silhouette.width() + 2 * margin;
    const int height = silhouette.height() + 2 * margin;
    QImage padded(width, height, QImage::Format_ARGB32);
    padded.fill(Qt::transparent);
    {
        QPainter painter(&padded);
        painter.drawImage(margin, margin, silhouette);
    }

    std::vector<float> alpha(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(padded.constScanLine(y));
        for (int x = 0; x < width; ++x)
            alpha[static_cast<std::size_t>(y * width + x)] = static_cast<float>(qAlpha(row[x]));
    }
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(alpha, height, width, 1, width, radius);
        BoxPass(alpha, width, height, width, 1, radius);
    }

    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    const float strength = static_cast<float>(opacity) * static_cast<float>(color.alphaF()) / 255.0f;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = std::clamp(alpha[static_cast<std::size_t>(y * width + x)] * strength, 0.0f, 1.0f);
            row[x] = qRgba(qRound(color.red() * a), qRound(color.green() * a), qRound(color.blue() * a), qRound(255 * a));
        }
    }
    return result;
}

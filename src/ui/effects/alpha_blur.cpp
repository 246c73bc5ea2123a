#include "alpha_blur.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using TLine = std::vector<float>;

// One box pass of width 2 * radius + 1 along a line, with a running sum so
// its cost does not grow with the radius.
void BoxPass(TLine& line, int radius, TLine& scratch)
{
    const int length = static_cast<int>(line.size());
    scratch = line;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    float sum = 0;
    for (int i = 0; i <= std::min(radius, length - 1); ++i)
        sum += scratch[static_cast<std::size_t>(i)];
    for (int i = 0; i < length; ++i) {
        line[static_cast<std::size_t>(i)] = sum * scale;
        if (i + radius + 1 < length)
            sum += scratch[static_cast<std::size_t>(i + radius + 1)];
        if (i - radius >= 0)
            sum -= scratch[static_cast<std::size_t>(i - radius)];
    }
}

void Blur(TLine& line, int radius, TLine& scratch)
{
    for (int pass = 0; pass < 3; ++pass)
        BoxPass(line, radius, scratch);
}

// A blurred plane of alpha values in 0..1, row by row.
struct TAlphaPlane {
    int width = 0;
    int height = 0;
    std::vector<float> values;
    float& At(int x, int y) { return values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

// The blur runs on a half-resolution plane: a soft glow has no detail that
// the halving loses, and it costs a quarter of the work. The result is
// sampled back up once, when it is made; drawing it stays a plain blit.
constexpr int Reduction = 2;

// Where full-resolution pixel i falls between the centres of two reduced
// pixels: their indexes and the weight of the second.
struct TSamplePoint {
    int first;
    int second;
    float weight;
};

std::vector<TSamplePoint> SamplePoints(int fullLength, int reducedLength)
{
    std::vector<TSamplePoint> points(static_cast<std::size_t>(fullLength));
    for (int i = 0; i < fullLength; ++i) {
        const float position = std::max(0.0f, (static_cast<float>(i) + 0.5f) / Reduction - 0.5f);
        const int first = std::min(static_cast<int>(position), reducedLength - 1);
        points[static_cast<std::size_t>(i)] = {first, std::min(first + 1, reducedLength - 1),
                                               position - static_cast<float>(first)};
    }
    return points;
}

TAlphaPlane ReducedAlpha(const QImage& silhouette, int margin)
{
    const QImage alpha = silhouette.convertToFormat(QImage::Format_Alpha8);
    TAlphaPlane plane;
    plane.width = (alpha.width() + 2 * margin + Reduction - 1) / Reduction;
    plane.height = (alpha.height() + 2 * margin + Reduction - 1) / Reduction;
    plane.values.assign(static_cast<std::size_t>(plane.width) * static_cast<std::size_t>(plane.height), 0.0f);
    const float share = 1.0f / (255.0f * Reduction * Reduction);
    const int width = alpha.width();
    const int height = alpha.height();
    for (int y = 0; y < height; ++y) {
        const uchar* row = alpha.constScanLine(y);
        float* reducedRow = &plane.At(0, (y + margin) / Reduction);
        for (int x = 0; x < width; ++x)
            reducedRow[(x + margin) / Reduction] += static_cast<float>(row[x]) * share;
    }
    return plane;
}

void BlurPlane(TAlphaPlane& plane, int radius)
{
    TLine line, scratch;
    for (int y = 0; y < plane.height; ++y) {
        line.assign(plane.values.begin() + std::ptrdiff_t(y) * plane.width,
                    plane.values.begin() + std::ptrdiff_t(y + 1) * plane.width);
        Blur(line, radius, scratch);
        std::copy(line.begin(), line.end(), plane.values.begin() + std::ptrdiff_t(y) * plane.width);
    }
    line.resize(static_cast<std::size_t>(plane.height));
    for (int x = 0; x < plane.width; ++x) {
        for (int y = 0; y < plane.height; ++y)
            line[static_cast<std::size_t>(y)] = plane.At(x, y);
        Blur(line, radius, scratch);
        for (int y = 0; y < plane.height; ++y)
            plane.At(x, y) = line[static_cast<std::size_t>(y)];
    }
}

// Premultiplied pixels of one colour, for alpha 0..1 in 256 steps, made
// once per image so that colouring a pixel is a table look-up.
class TColourer {
public:
    TColourer(const QColor& color, qreal opacity)
    {
        const float strength = static_cast<float>(opacity * color.alphaF());
        for (int step = 0; step < Steps; ++step) {
            const float a = std::min(static_cast<float>(step) / (Steps - 1) * strength, 1.0f);
            table_[static_cast<std::size_t>(step)] =
                qRgba(int(static_cast<float>(color.red()) * a + 0.5f), int(static_cast<float>(color.green()) * a + 0.5f),
                      int(static_cast<float>(color.blue()) * a + 0.5f), int(255 * a + 0.5f));
        }
    }
    QRgb operator()(float alpha) const
    {
        return table_[static_cast<std::size_t>(std::clamp(alpha, 0.0f, 1.0f) * (Steps - 1) + 0.5f)];
    }

private:
    static constexpr int Steps = 256;
    std::array<QRgb, Steps> table_{};
};

}  // namespace

QImage SoftColouredSilhouette(const QImage& silhouette, int margin, int radius,
                              const QColor& color, qreal opacity)
{
    TAlphaPlane plane = ReducedAlpha(silhouette, margin);
    BlurPlane(plane, std::max(1, radius / Reduction));

    // Back to full resolution, interpolating between reduced pixel centres.
    QImage result(silhouette.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    const std::vector<TSamplePoint> columns = SamplePoints(result.width(), plane.width);
    const std::vector<TSamplePoint> rows = SamplePoints(result.height(), plane.height);
    const TColourer coloured(color, opacity);
    for (int y = 0; y < result.height(); ++y) {
        const TSamplePoint& row = rows[static_cast<std::size_t>(y)];
        const float* upper = &plane.At(0, row.first);
        const float* lower = &plane.At(0, row.second);
        auto* pixels = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const TSamplePoint& column = columns[x];
            const float top = upper[column.first] + (upper[column.second] - upper[column.first]) * column.weight;
            const float bottom = lower[column.first] + (lower[column.second] - lower[column.first]) * column.weight;
            pixels[x] = coloured(top + (bottom - top) * row.weight);
        }
    }
    return result;
}

QImage SoftColouredRectangle(QSize size, int margin, int radius, const QColor& color, qreal opacity)
{
    TLine scratch;
    const auto profile = [&](int inside) {
        TLine line(static_cast<std::size_t>(inside + 2 * margin), 0.0f);
        std::fill(line.begin() + margin, line.begin() + margin + inside, 1.0f);
        Blur(line, radius, scratch);
        return line;
    };
    const TLine across = profile(size.width());
    const TLine down = profile(size.height());
    QImage result(static_cast<int>(across.size()), static_cast<int>(down.size()), QImage::Format_ARGB32_Premultiplied);
    const TColourer coloured(color, opacity);
    for (std::size_t y = 0; y < down.size(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(static_cast<int>(y)));
        for (std::size_t x = 0; x < across.size(); ++x)
            row[x] = coloured(across[x] * down[y]);
    }
    return result;
}

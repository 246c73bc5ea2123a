#include "alpha_blur.h"

#include <algorithm>
#include <utility>
#include <array>
#include <vector>

namespace {

using TLine = std::vector<float>;

// One box pass of width 2 * radius + 1 along a line, zero beyond its ends,
// with a running sum so its cost does not grow with the radius. The line is
// copied between zeros first, so the loop needs no test for the ends.
void BoxPass(TLine& line, int radius, TLine& padded)
{
    const std::size_t length = line.size();
    const std::size_t r = static_cast<std::size_t>(radius);
    padded.assign(length + 2 * r + 1, 0.0f);
    std::copy(line.begin(), line.end(), padded.begin() + std::ptrdiff_t(r + 1));
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    float sum = 0;
    for (std::size_t k = 1; k <= 2 * r; ++k)
        sum += padded[k];
    for (std::size_t i = 0; i < length; ++i) {
        sum += padded[i + 2 * r + 1];
        line[i] = sum * scale;
        sum -= padded[i + 1];
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
    float* Row(int y) { return values.data() + std::ptrdiff_t(y) * width; }
};

// The same box pass down every column at once, a row at a time, so that the
// inner loops run along rows.
void BoxPassDown(TAlphaPlane& plane, int radius, std::vector<float>& padded, TLine& sums)
{
    const std::ptrdiff_t width = plane.width;
    const std::ptrdiff_t r = radius;
    padded.assign(static_cast<std::size_t>((plane.height + 2 * r + 1) * width), 0.0f);
    std::copy(plane.values.begin(), plane.values.end(), padded.begin() + (r + 1) * width);
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    sums.assign(static_cast<std::size_t>(width), 0.0f);
    const auto row = [&](std::ptrdiff_t k) { return padded.data() + k * width; };
    for (std::ptrdiff_t k = 1; k <= 2 * r; ++k) {
        const float* added = row(k);
        for (std::ptrdiff_t x = 0; x < width; ++x)
            sums[std::size_t(x)] += added[x];
    }
    for (int y = 0; y < plane.height; ++y) {
        const float* added = row(y + 2 * r + 1);
        const float* dropped = row(y + 1);
        float* out = plane.Row(y);
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            sums[std::size_t(x)] += added[x];
            out[x] = sums[std::size_t(x)] * scale;
            sums[std::size_t(x)] -= dropped[x];
        }
    }
}

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

// The silhouette's alpha, `margin` transparent pixels around it, averaged
// over blocks of Reduction x Reduction pixels. Summed as integers first.
TAlphaPlane ReducedAlpha(const QImage& silhouette, int margin)
{
    TAlphaPlane plane;
    plane.width = (silhouette.width() + 2 * margin + Reduction - 1) / Reduction;
    plane.height = (silhouette.height() + 2 * margin + Reduction - 1) / Reduction;
    const std::size_t count = static_cast<std::size_t>(plane.width) * static_cast<std::size_t>(plane.height);
    std::vector<int> sums(count, 0);
    const int width = silhouette.width();
    for (int y = 0; y < silhouette.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(silhouette.constScanLine(y));
        int* reducedRow = sums.data() + std::ptrdiff_t((y + margin) / Reduction) * plane.width;
        // Two pixels at a time into the block they share; an odd margin
        // leaves the first pixel to a block of its own.
        static_assert(Reduction == 2);
        int x = margin % Reduction;
        if (x == 1)
            reducedRow[margin / Reduction] += qAlpha(pixels[0]);
        int* block = reducedRow + (x + margin) / Reduction;
        for (; x + 1 < width; x += 2, ++block)
            *block += qAlpha(pixels[x]) + qAlpha(pixels[x + 1]);
        if (x < width)
            *block += qAlpha(pixels[x]);
    }
    plane.values.resize(count);
    const float share = 1.0f / (255.0f * Reduction * Reduction);
    std::transform(sums.begin(), sums.end(), plane.values.begin(),
                   [share](int sum) { return static_cast<float>(sum) * share; });
    return plane;
}

void BlurPlane(TAlphaPlane& plane, int radius)
{
    TLine line, scratch;
    for (int y = 0; y < plane.height; ++y) {
        float* row = plane.Row(y);
        line.assign(row, row + plane.width);
        Blur(line, radius, scratch);
        std::copy(line.begin(), line.end(), row);
    }
    std::vector<float> padded;
    for (int pass = 0; pass < 3; ++pass)
        BoxPassDown(plane, radius, padded, line);
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

// The stretches of one row of the result that the hidden rectangles leave
// uncovered, as [start, end) pairs in order.
std::vector<std::pair<int, int>> Uncovered(int y, int width, const std::vector<QRect>& hidden)
{
    std::vector<std::pair<int, int>> covered;
    for (const QRect& rect : hidden) {
        if (y >= rect.top() && y <= rect.bottom())
            covered.emplace_back(std::clamp(rect.left(), 0, width), std::clamp(rect.right() + 1, 0, width));
    }
    std::ranges::sort(covered);
    std::vector<std::pair<int, int>> uncovered;
    int from = 0;
    for (const auto& [start, end] : covered) {
        if (start > from)
            uncovered.emplace_back(from, start);
        from = std::max(from, end);
    }
    if (from < width)
        uncovered.emplace_back(from, width);
    return uncovered;
}

// Pixels [from, to) of one row of the result: `between` (the plane already
// interpolated down to this row) interpolated across, and coloured.
void ColourStretch(QRgb* pixels, int from, int to, const TLine& between, const std::vector<TSamplePoint>& columns,
                   const TColourer& coloured)
{
    for (std::size_t x = static_cast<std::size_t>(from); x < static_cast<std::size_t>(to); ++x) {
        const TSamplePoint& column = columns[x];
        const float left = between[static_cast<std::size_t>(column.first)];
        const float right = between[static_cast<std::size_t>(column.second)];
        pixels[x] = coloured(left + (right - left) * column.weight);
    }
}

}  // namespace

QImage SoftColouredSilhouette(const QImage& silhouette, int margin, int radius, const QColor& color, qreal opacity,
                              const std::vector<QRect>& hidden)
{
    const QImage shape = silhouette.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    TAlphaPlane plane = ReducedAlpha(shape, margin);
    BlurPlane(plane, std::max(1, radius / Reduction));

    // Back to full resolution, interpolating between reduced pixel centres,
    // except where it would be covered anyway.
    QImage result(shape.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    std::vector<QRect> hiddenInResult;
    for (const QRect& rect : hidden)
        hiddenInResult.push_back(rect.translated(margin, margin));
    const std::vector<TSamplePoint> columns = SamplePoints(result.width(), plane.width);
    const std::vector<TSamplePoint> rows = SamplePoints(result.height(), plane.height);
    const TColourer coloured(color, opacity);
    TLine between(static_cast<std::size_t>(plane.width));
    for (int y = 0; y < result.height(); ++y) {
        const TSamplePoint& row = rows[static_cast<std::size_t>(y)];
        const float* upper = plane.Row(row.first);
        const float* lower = plane.Row(row.second);
        auto* pixels = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (const auto& [from, to] : Uncovered(y, result.width(), hiddenInResult)) {
            // Down first, over the plane's columns that this stretch needs.
            const auto last = static_cast<std::size_t>(columns[static_cast<std::size_t>(to - 1)].second);
            for (auto x = static_cast<std::size_t>(columns[static_cast<std::size_t>(from)].first); x <= last; ++x)
                between[x] = upper[x] + (lower[x] - upper[x]) * row.weight;
            ColourStretch(pixels, from, to, between, columns, coloured);
        }
    }
    return result;
}

QImage SoftColouredRectangle(QSize size, int margin, int radius, const QColor& color, qreal opacity,
                             const QRect& hidden)
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
    result.fill(Qt::transparent);
    const TColourer coloured(color, opacity);
    for (int y = 0; y < result.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        const float factor = down[static_cast<std::size_t>(y)];
        for (const auto& [from, to] : Uncovered(y, result.width(), {hidden})) {
            for (std::size_t x = static_cast<std::size_t>(from); x < static_cast<std::size_t>(to); ++x)
                row[x] = coloured(across[x] * factor);
        }
    }
    return result;
}

#include "ui/effects/alpha_blur.h"

#include <QRegion>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using TLine = std::vector<float>;

// One box pass of width 2 * radius + 1 along a row, with a running sum so
// its cost does not grow with the radius. `in` has `radius` zeros readable
// before and after its `length` values, so the loop needs no test for the
// row's ends.
void BoxPass(const float* in, float* out, int length, int radius)
{
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    float sum = 0;
    for (int k = -radius; k < radius; ++k)
        sum += in[k];
    for (int i = 0; i < length; ++i) {
        sum += in[i + radius];
        out[i] = sum * scale;
        sum -= in[i - radius];
    }
}

// A line blurred by three box passes, zero beyond its ends.
TLine Blurred(const TLine& line, int radius)
{
    const std::size_t r = static_cast<std::size_t>(radius);
    TLine first(line.size() + 2 * r, 0.0f), second(first.size(), 0.0f);
    std::copy(line.begin(), line.end(), first.begin() + std::ptrdiff_t(r));
    const int length = static_cast<int>(line.size());
    BoxPass(first.data() + r, second.data() + r, length, radius);
    BoxPass(second.data() + r, first.data() + r, length, radius);
    BoxPass(first.data() + r, second.data() + r, length, radius);
    return TLine(second.begin() + std::ptrdiff_t(r), second.end() - std::ptrdiff_t(r));
}

// A plane of alpha values in 0..1, row by row.
struct TAlphaPlane {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    TAlphaPlane(int width, int height)
        : width(width), height(height),
          values(static_cast<std::size_t>(height) * static_cast<std::size_t>(width), 0.0f)
    {
    }
    float* Row(int y) { return values.data() + std::ptrdiff_t(y) * width; }
};

// Three box passes along every row, in place: each row is copied between
// `radius` zeros on either side first.
void BlurAcross(TAlphaPlane& plane, int radius)
{
    const auto r = static_cast<std::size_t>(radius);
    TLine first(static_cast<std::size_t>(plane.width) + 2 * r, 0.0f), second(first.size(), 0.0f);
    for (int y = 0; y < plane.height; ++y) {
        float* row = plane.Row(y);
        std::copy(row, row + plane.width, first.begin() + std::ptrdiff_t(r));
        BoxPass(first.data() + r, second.data() + r, plane.width, radius);
        BoxPass(second.data() + r, first.data() + r, plane.width, radius);
        BoxPass(first.data() + r, row, plane.width, radius);
    }
}

// The same box pass down every column at once, a row at a time, so that the
// inner loops run along rows; rows beyond the plane read as zeros. In place:
// the rows the pass still reads after writing them are kept aside, the last
// radius + 1 of them.
void BoxPassDown(TAlphaPlane& plane, int radius)
{
    const std::size_t width = static_cast<std::size_t>(plane.width);
    const TLine zeros(width, 0.0f);
    std::vector<TLine> kept(static_cast<std::size_t>(radius) + 1, TLine(width));
    const auto keptRow = [&](int y) -> TLine& { return kept[static_cast<std::size_t>(y % (radius + 1))]; };
    const auto unwritten = [&](int y) -> const float* { return y < plane.height ? plane.Row(y) : zeros.data(); };
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    TLine sums(width, 0.0f);
    for (int k = 0; k < radius; ++k) {
        const float* added = unwritten(k);
        for (std::size_t x = 0; x < width; ++x)
            sums[x] += added[x];
    }
    for (int y = 0; y < plane.height; ++y) {
        const float* added = unwritten(y + radius);
        const float* dropped = y >= radius ? keptRow(y - radius).data() : zeros.data();
        float* result = plane.Row(y);
        std::copy(result, result + width, keptRow(y).begin());
        for (std::size_t x = 0; x < width; ++x) {
            sums[x] += added[x];
            result[x] = sums[x] * scale;
            sums[x] -= dropped[x];
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

// The silhouette's alpha (Format_Alpha8), `margin` transparent pixels
// around it, averaged over blocks of Reduction x Reduction pixels. Summed
// in the plane first: sums of whole alpha values are exact as floats.
TAlphaPlane ReducedAlpha(const QImage& silhouette, int margin)
{
    TAlphaPlane plane((silhouette.width() + 2 * margin + Reduction - 1) / Reduction,
                      (silhouette.height() + 2 * margin + Reduction - 1) / Reduction);
    const int width = silhouette.width();
    for (int y = 0; y < silhouette.height(); ++y) {
        const uchar* alpha = silhouette.constScanLine(y);
        float* reducedRow = plane.Row((y + margin) / Reduction);
        // Two pixels at a time into the block they share; an odd margin
        // leaves the first pixel to a block of its own.
        static_assert(Reduction == 2);
        int x = margin % Reduction;
        if (x == 1)
            reducedRow[margin / Reduction] += alpha[0];
        float* block = reducedRow + (x + margin) / Reduction;
        for (; x + 1 < width; x += 2, ++block)
            *block += float(alpha[x] + alpha[x + 1]);
        if (x < width)
            *block += alpha[x];
    }
    const float share = 1.0f / (255.0f * Reduction * Reduction);
    for (int y = 0; y < plane.height; ++y) {
        float* row = plane.Row(y);
        for (int x = 0; x < plane.width; ++x)
            row[x] *= share;
    }
    return plane;
}

// Three box passes each way, in place: a second plane would be as large
// again, and fresh memory is costly to touch while the window starts.
void BlurPlane(TAlphaPlane& plane, int radius)
{
    BlurAcross(plane, radius);
    for (int pass = 0; pass < 3; ++pass)
        BoxPassDown(plane, radius);
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
        // Clamped as a step: a blurred alpha may stray from 0..1 by rounding.
        return table_[static_cast<std::size_t>(std::clamp(static_cast<int>(alpha * (Steps - 1) + 0.5f), 0, Steps - 1))];
    }

private:
    static constexpr int Steps = 256;
    std::array<QRgb, Steps> table_{};
};

// Pixels [from, to) of one row of the result, into `pixels` from its start:
// `between` (the plane already interpolated down to this row) interpolated
// across, and coloured.
void ColourStretch(QRgb* pixels, int from, int to, const TLine& between, const std::vector<TSamplePoint>& columns,
                   const TColourer& coloured)
{
    for (auto x = static_cast<std::size_t>(from); x < static_cast<std::size_t>(to); ++x, ++pixels) {
        const TSamplePoint& column = columns[x];
        const float left = between[static_cast<std::size_t>(column.first)];
        const float right = between[static_cast<std::size_t>(column.second)];
        *pixels = coloured(left + (right - left) * column.weight);
    }
}

}  // namespace

std::vector<TImagePiece> SoftColouredSilhouette(const QImage& silhouette, int margin, int radius, const QColor& color,
                                                qreal opacity, const std::vector<QRect>& hidden)
{
    const QImage shape = silhouette.convertToFormat(QImage::Format_Alpha8);
    const int reducedRadius = std::max(1, radius / Reduction);
    TAlphaPlane plane = ReducedAlpha(shape, margin);
    BlurPlane(plane, reducedRadius);

    // Back to full resolution, interpolating between reduced pixel centres,
    // piece by piece: the silhouette's area but for the hidden rectangles.
    const QSize withMargin = shape.size() + QSize(2 * margin, 2 * margin);
    const std::vector<TSamplePoint> columns = SamplePoints(withMargin.width(), plane.width);
    const std::vector<TSamplePoint> rows = SamplePoints(withMargin.height(), plane.height);
    const TColourer coloured(color, opacity);
    TLine between(static_cast<std::size_t>(plane.width));
    QRegion shown(shape.rect());
    for (const QRect& rect : hidden)
        shown -= rect;
    std::vector<TImagePiece> pieces;
    for (const QRect& piece : shown) {
        QImage image(piece.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < piece.height(); ++y) {
            const TSamplePoint& row = rows[static_cast<std::size_t>(piece.top() + y + margin)];
            const float* upper = plane.Row(row.first);
            const float* lower = plane.Row(row.second);
            const int from = piece.left() + margin;
            const int to = from + piece.width();
            // Down first, over the plane's columns that this stretch needs.
            const auto last = static_cast<std::size_t>(columns[static_cast<std::size_t>(to - 1)].second);
            for (auto x = static_cast<std::size_t>(columns[static_cast<std::size_t>(from)].first); x <= last; ++x)
                between[x] = upper[x] + (lower[x] - upper[x]) * row.weight;
            ColourStretch(reinterpret_cast<QRgb*>(image.scanLine(y)), from, to, between, columns, coloured);
        }
        pieces.push_back({piece.topLeft(), std::move(image)});
    }
    return pieces;
}

std::vector<TImagePiece> SoftColouredRectangle(QSize size, int margin, int radius, const QColor& color,
                                               qreal opacity, const QRect& hidden)
{
    const auto profile = [&](int inside) {
        TLine line(static_cast<std::size_t>(inside + 2 * margin), 0.0f);
        std::fill(line.begin() + margin, line.begin() + margin + inside, 1.0f);
        return Blurred(line, radius);
    };
    const TLine across = profile(size.width());
    const TLine down = profile(size.height());
    const TColourer coloured(color, opacity);
    std::vector<TImagePiece> pieces;
    for (const QRect& piece : QRegion(0, 0, int(across.size()), int(down.size())) - hidden) {
        QImage image(piece.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < piece.height(); ++y) {
            auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
            const float factor = down[static_cast<std::size_t>(piece.top() + y)];
            for (int x = 0; x < piece.width(); ++x)
                pixels[x] = coloured(across[static_cast<std::size_t>(piece.left() + x)] * factor);
        }
        pieces.push_back({piece.topLeft(), std::move(image)});
    }
    return pieces;
}

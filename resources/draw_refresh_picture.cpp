// Draws the refresh picture: 512 x 512, a black clockwise refresh symbol on
// transparency; and the same scaled down to the sizes the window shows it at
// on screens of ratio 1 and 2, so that no start-up decodes and scales the
// large one. Never run by the build (the PNGs are committed; unpack the
// scaled ones again afterwards with unpack_pictures):
//     build/resources/draw_refresh_picture resources
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int Size = 512;
// The window's picture band is 104 pixels tall.
constexpr int ScaledSizes[] = {104, 208};
constexpr QPointF Centre{Size / 2.0, Size / 2.0};
// The ring: outer radius 200 puts the symbol in columns 56 to 455.
constexpr qreal OuterRadius = 200;
constexpr qreal InnerRadius = 128;
constexpr qreal MidRadius = (OuterRadius + InnerRadius) / 2;
// An arrowhead's base reaches from the centre out to the picture's edge, so
// the symbol spans the full height; it is symmetric about the ring's middle.
constexpr qreal HeadOuterRadius = Size / 2.0;
constexpr qreal HeadInnerRadius = 2 * MidRadius - HeadOuterRadius;
constexpr qreal HeadSweep = 25;  // degrees from the base to the tip
constexpr qreal GapAfterTip = 15;

// Angles in degrees, clockwise from twelve o'clock, as the symbol turns.
QPointF OnCircle(qreal clockwiseDegrees, qreal radius)
{
    const qreal radians = clockwiseDegrees * std::numbers::pi / 180;
    return Centre + QPointF(radius * std::sin(radians), -radius * std::cos(radians));
}

// Qt's arcs run counter-clockwise from three o'clock.
qreal QtAngle(qreal clockwiseDegrees)
{
    return 90 - clockwiseDegrees;
}

// A ring segment from `from` clockwise to `to`, with square radial ends.
QPainterPath Arc(qreal from, qreal to)
{
    const QRectF outer(Centre - QPointF(OuterRadius, OuterRadius), QSizeF(2 * OuterRadius, 2 * OuterRadius));
    const QRectF inner(Centre - QPointF(InnerRadius, InnerRadius), QSizeF(2 * InnerRadius, 2 * InnerRadius));
    QPainterPath path(OnCircle(from, OuterRadius));
    path.arcTo(outer, QtAngle(from), -(to - from));
    path.lineTo(OnCircle(to, InnerRadius));
    path.arcTo(inner, QtAngle(to), to - from);
    path.closeSubpath();
    return path;
}

// An arrowhead whose base lies on the radius at `base`, pointing clockwise.
QPainterPath Arrowhead(qreal base)
{
    QPainterPath path(OnCircle(base, HeadOuterRadius));
    path.lineTo(OnCircle(base + HeadSweep, MidRadius));
    path.lineTo(OnCircle(base, HeadInnerRadius));
    path.closeSubpath();
    return path;
}

QImage DrawRefreshPicture()
{
    QImage picture(Size, Size, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    // Upper arc: up the left side, ending at the top in an arrowhead pointing
    // right; lower arc: down the right side, ending at the bottom pointing left.
    for (const qreal headBase : {360.0, 180.0}) {
        const qreal arcStart = headBase - 180 + HeadSweep + GapAfterTip;
        painter.drawPath(Arc(arcStart, headBase).united(Arrowhead(headBase)));
    }
    return picture;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QImage picture = DrawRefreshPicture();
    // Scaled as the window scales the large picture to fit its band.
    const auto save = [&](const QImage& image, const QString& name) {
        const QString path = folder + u'/' + name;
        const bool saved = image.save(path);
        if (!saved)
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return saved;
    };
    bool saved = save(picture, QStringLiteral("refresh.png"));
    for (const int size : ScaledSizes) {
        saved = save(picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                     QStringLiteral("refresh-%1.png").arg(size)) && saved;
    }
    return saved ? 0 : 1;
}

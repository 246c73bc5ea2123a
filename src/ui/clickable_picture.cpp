#include "ui/clickable_picture.h"

#include "quorvel_resources.h"
#include "ui/effects/wrap_effect.h"

#include <QEnterEvent>
#include <QPainter>

#include <algorithm>

TClickablePicture::TClickablePicture(std::vector<TPictureFile> sizes, TWrapEffect& warp, QWidget* parent)
    : QAbstractButton(parent), sizes_(std::move(sizes)), warp_(warp)
{
    // The picture is no keyboard stop: a click is the one way to use it.
    setFocusPolicy(Qt::NoFocus);
    // A button's default policy keeps its (here empty) height hint; the
    // picture fills whatever band its parent gives it.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TClickablePicture::paintEvent(QPaintEvent*)
{
    const QImage& plain = PlainBand();
    QPainter(this).drawImage(QPoint(), warp_.Enabled ? warp_.Warped(plain) : plain);
}

// The size made for exactly `side` pixels, or else the largest, scaled down
// below: decoding and scaling a picture much larger than shown costs more
// than building the rest of the window, and a size that fits exactly is
// left as it is. The pre-scaled sizes were scaled from the largest the same
// way, so the picture looks the same whichever is used.
const QImage& TClickablePicture::PictureFor(int side)
{
    const auto exact = std::ranges::find(sizes_, side, &TPictureFile::side);
    const QString& path = (exact != sizes_.end() ? *exact : sizes_.back()).path;
    if (path != loadedPath_) {
        picture_ = ReadPngResource(path);
        loadedPath_ = path;
    }
    return picture_;
}

// The picture scaled to fit the band and centred, kept until the band's size
// changes, so that a repaint does not scale it again.
const QImage& TClickablePicture::PlainBand()
{
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = size() * ratio;
    if (cachedBand_.size() == devicePixels && cachedBand_.devicePixelRatio() == ratio)
        return cachedBand_;
    const QImage scaled = PictureFor(std::min(devicePixels.width(), devicePixels.height()))
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                              .scaled(devicePixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Centred by copying a band-sized rectangle around it: a copy reaching
    // past an image's edges is transparent there. Cheaper than painting it
    // in, which Qt spreads over worker threads for an image this large.
    const QPoint corner((devicePixels.width() - scaled.width()) / 2, (devicePixels.height() - scaled.height()) / 2);
    cachedBand_ = scaled.copy(QRect(-corner, devicePixels));
    cachedBand_.setDevicePixelRatio(ratio);
    return cachedBand_;
}

void TClickablePicture::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    SetMouseOver(true);
}

void TClickablePicture::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    SetMouseOver(false);
}

void TClickablePicture::SetMouseOver(bool over)
{
    isMouseOver_ = over;
    warp_.ApplyTrigger({{QStringLiteral("IsMouseOver"), over}});
    update();
}

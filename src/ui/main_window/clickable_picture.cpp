#include "ui/main_window/clickable_picture.h"

#include "quorvel_resources.h"
#include "ui/effects/warp_effect.h"

#include <QEnterEvent>
#include <QPainter>

#include <algorithm>

TClickablePicture::TClickablePicture(std::vector<TPictureFile> sizes, TWarpEffect& warp, QWidget* parent)
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
    QPainter painter(this);
    if (warp_.Enabled) {
        painter.drawImage(QPoint(), warp_.Warped(PlainBand()));
        return;
    }
    // Unwarped, the band's transparent rest would change nothing.
    const QImage& fitted = FittedPicture();
    painter.drawImage(QPointF(fittedCorner_) / fitted.devicePixelRatio(), fitted);
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
        picture_ = ReadPictureResource(path);
        loadedPath_ = path;
    }
    return picture_;
}

// The picture scaled to fit the band, and where it goes to be centred in
// device pixels, kept until the band's size changes, so that a repaint does
// not scale it again.
const QImage& TClickablePicture::FittedPicture()
{
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = size() * ratio;
    if (fittedFor_ == devicePixels && fitted_.devicePixelRatio() == ratio)
        return fitted_;
    fitted_ = PictureFor(std::min(devicePixels.width(), devicePixels.height()))
                  .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                  .scaled(devicePixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    fitted_.setDevicePixelRatio(ratio);
    fittedCorner_ = QPoint((devicePixels.width() - fitted_.width()) / 2, (devicePixels.height() - fitted_.height()) / 2);
    fittedFor_ = devicePixels;
    return fitted_;
}

// The whole band with the fitted picture centred in it: the warp squeezes
// the band's rows, not the picture's. Made by copying a band-sized rectangle
// around the picture: a copy reaching past an image's edges is transparent
// there. Cheaper than painting it in, which Qt spreads over worker threads
// for an image this large.
const QImage& TClickablePicture::PlainBand()
{
    const QImage& fitted = FittedPicture();
    if (cachedBand_.size() != fittedFor_ || cachedBand_.devicePixelRatio() != fitted.devicePixelRatio()) {
        cachedBand_ = fitted.copy(QRect(-fittedCorner_, fittedFor_));
        cachedBand_.setDevicePixelRatio(fitted.devicePixelRatio());
    }
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

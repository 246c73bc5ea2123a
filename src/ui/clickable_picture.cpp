#include "clickable_picture.h"

#include "effects/wrap_effect.h"

#include <QEnterEvent>
#include <QPainter>

TClickablePicture::TClickablePicture(std::future<QImage> picture, TWrapEffect& warp, QWidget* parent)
    : QAbstractButton(parent), loadingPicture_(std::move(picture)), warp_(warp)
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

// The picture scaled to fit the band and centred, kept until the band's size
// changes: scaling 512 x 512 down on every repaint would dominate a frame.
const QImage& TClickablePicture::PlainBand()
{
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = size() * ratio;
    if (cachedBand_.size() == devicePixels && cachedBand_.devicePixelRatio() == ratio)
        return cachedBand_;
    if (loadingPicture_.valid())
        picture_ = loadingPicture_.get();
    cachedBand_ = QImage(devicePixels, QImage::Format_ARGB32_Premultiplied);
    cachedBand_.fill(Qt::transparent);
    const QImage scaled = picture_.scaled(devicePixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&cachedBand_).drawImage((devicePixels.width() - scaled.width()) / 2,
                                      (devicePixels.height() - scaled.height()) / 2, scaled);
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

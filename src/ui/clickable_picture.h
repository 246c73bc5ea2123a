#pragma once

#include <QAbstractButton>
#include <QImage>

#include <future>

class TWrapEffect;

// A picture scaled proportionally to fit and centred, whose whole rectangle,
// transparent parts included, reacts to the pointer and to clicks. It is a
// button underneath so that screen readers and accessibility tools can find
// and press it. While a warp effect is enabled the picture is drawn warped.
// The picture may still be loading when the control is made; it is waited
// for when it is first drawn.
class TClickablePicture : public QAbstractButton {
    Q_OBJECT
public:
    TClickablePicture(std::future<QImage> picture, TWrapEffect& warp, QWidget* parent);

    bool IsMouseOver() const { return isMouseOver_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetMouseOver(bool over);
    const QImage& PlainBand();

    std::future<QImage> loadingPicture_;
    QImage picture_;
    TWrapEffect& warp_;
    bool isMouseOver_ = false;
    QImage cachedBand_;
};

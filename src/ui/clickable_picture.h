#pragma once

#include <QAbstractButton>
#include <QImage>

class TWrapEffect;

// A picture scaled proportionally to fit and centred, whose whole rectangle,
// transparent parts included, reacts to the pointer and to clicks. It is a
// button underneath so that screen readers and accessibility tools can find
// and press it. While a warp effect is enabled the picture is drawn warped.
class TClickablePicture : public QAbstractButton {
    Q_OBJECT
public:
    TClickablePicture(const QImage& picture, TWrapEffect& warp, QWidget* parent);

    bool IsMouseOver() const { return isMouseOver_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetMouseOver(bool over);
    const QImage& PlainBand();

    QImage picture_;
    TWrapEffect& warp_;
    bool isMouseOver_ = false;
    QImage cachedBand_;
};

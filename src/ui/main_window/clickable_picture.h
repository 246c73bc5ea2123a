#pragma once

#include <QAbstractButton>
#include <QImage>

#include <QString>

#include <vector>

class TWarpEffect;

// A picture scaled proportionally to fit and centred, whose whole rectangle,
// transparent parts included, reacts to the pointer and to clicks. It is a
// button underneath so that screen readers and accessibility tools can find
// and press it. While a warp effect is enabled the picture is drawn warped.
// The picture comes in several sizes; the one made for the control's size on
// its screen, or else the largest, is loaded when it is first drawn.
class TClickablePicture : public QAbstractButton {
    Q_OBJECT
public:
    // One size of a square picture: its side in pixels and its file.
    struct TPictureFile {
        int side;
        QString path;
    };

    // `sizes` largest last.
    TClickablePicture(std::vector<TPictureFile> sizes, TWarpEffect& warp, QWidget* parent);

    bool IsMouseOver() const { return isMouseOver_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetMouseOver(bool over);
    const QImage& FittedPicture();
    const QImage& PlainBand();

    const QImage& PictureFor(int side);

    std::vector<TPictureFile> sizes_;
    QString loadedPath_;
    QImage picture_;
    TWarpEffect& warp_;
    bool isMouseOver_ = false;
    QImage fitted_;
    QPoint fittedCorner_;  // device pixels
    QSize fittedFor_;      // the band's size in device pixels
    QImage cachedBand_;    // made only for the warp
};

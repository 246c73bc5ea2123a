#pragma once

#include <QRgb>
#include <QWidget>

// A plain panel: a rectangle filled with one colour inside a one-pixel border.
class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr QRgb FillColor = 0xFFF0F0F0;
    static constexpr QRgb BorderColor = 0xFFCCCCCC;
};

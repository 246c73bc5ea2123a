#include "ui/main_window/panel.h"

#include <QPainter>

TPanel::TPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgba(BorderColor));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), QColor::fromRgba(FillColor));
}

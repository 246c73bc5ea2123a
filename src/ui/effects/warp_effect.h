#pragma once

#include <QHash>
#include <QImage>
#include <QString>

// Warps a picture between two cubic Bézier curves running from its top to
// its bottom edge; each curve's start, control and end points are fractions
// of the picture's width. Every row of the picture is squeezed horizontally
// into the span between the two curves at that height. The warped picture is
// kept for the source it was made from, so hovering costs one image draw.
class TWarpEffect {
public:
    bool Enabled = false;
    QString Trigger = QStringLiteral("IsMouseOver=true");
    qreal LeftStart = 0, LeftControl1 = 0.25, LeftControl2 = 0.25, LeftEnd = 0;
    qreal RightStart = 1, RightControl1 = 0.75, RightControl2 = 0.75, RightEnd = 1;

    // Re-evaluates Trigger against the control's current states.
    void ApplyTrigger(const QHash<QString, bool>& states);
    const QImage& Warped(const QImage& source);

private:
    QImage cachedWarp_;
    qint64 cachedFor_ = 0;
};

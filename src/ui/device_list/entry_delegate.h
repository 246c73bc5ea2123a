#pragma once

#include "ui/device_list/entry_template.h"

#include <QAbstractItemDelegate>
#include <QColor>
#include <QFont>
#include <QPixmap>

#include <array>

// Draws one list entry from the template CustomItem: a pale selection
// highlight, the device picture and the six text lines.
class TEntryDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    explicit TEntryDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Every entry is ItemHeight high; its width follows the viewport.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const QPixmap& DevicePicture(qreal density) const;
    void DrawSelection(QPainter* painter, QRect entry) const;
    void DrawLine(QPainter* painter, CustomItem::Element element, QRect band, const QColor& colour,
                  const QString& text) const;

    struct TLineColours {
        QColor plain;     // the template's colour
        QColor selected;  // the same, kept readable on the selection highlight
    };

    // Already scaled to the size the layout gives it, for the density it was
    // last drawn at; made when the first entry is drawn, as the list is
    // empty when the window first shows.
    mutable QPixmap devicePicture_;
    std::array<QFont, CustomItem::ElementCount> fonts_;
    std::array<TLineColours, CustomItem::ElementCount> colours_;
};

#pragma once

#include "ui/entry_template.h"

#include <QAbstractItemDelegate>
#include <QFont>
#include <QPixmap>

#include <array>

// Draws one list entry from the template CustomItem: the list look's
// selection highlight, the device picture and the six text lines.
class TEntryDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    explicit TEntryDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Every entry is ItemHeight high; its width follows the viewport.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void DrawBackground(QPainter* painter, const QStyleOptionViewItem& option) const;
    void DrawLine(QPainter* painter, CustomItem::Element element, QRect band, const QString& text) const;

    QPixmap m_devicePicture;  // already scaled to the size the layout gives it
    std::array<QFont, CustomItem::ElementCount> m_fonts;
};

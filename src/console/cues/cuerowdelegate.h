#pragma once

#include <QStyledItemDelegate>

// Paints one cue row: its number in fixed-width digits, its name, and the on-air or next mark at the right.
class CueRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

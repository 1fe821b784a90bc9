#pragma once

#include <QStyledItemDelegate>

// Paints one finding of the projection check: its mark, its text over the cue's name, and the jump arrow.
class FindingRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    enum Role {
        WarningRole = Qt::UserRole + 1,
        CueNameRole,
    };
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

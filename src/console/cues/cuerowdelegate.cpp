#include "cuerowdelegate.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "cuelistmodel.h"
#include "lumoicons.h"
#include "shownlength.h"

#include <QPainter>

static constexpr int kMarkSize = 14;
static constexpr int kSpacing = 8;
static constexpr int kPadding = 8;

void CueRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect.adjusted(4, 1, -4, -1);
    // A soft highlight, so the marks keep their colours on the selected row.
    if (option.state & QStyle::State_Selected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlphaF(0.35f);
        painter->setPen(Qt::NoPen);
        painter->setBrush(highlight);
        painter->drawRoundedRect(row, 5, 5);
    }

    QRect content = row.adjusted(kPadding, 0, -kPadding, 0);
    const auto mark = CueListModel::Mark(index.data(CueListModel::MarkRole).toInt());
    if (mark != CueListModel::Mark::none) {
        const QRect markRect(content.right() - kMarkSize + 1, content.center().y() - kMarkSize / 2, kMarkSize,
                             kMarkSize);
        if (mark == CueListModel::Mark::onAir)
            paintLumoSymbol(*painter, markRect, QStringLiteral("play.fill"), ConsoleColors::orange());
        else
            paintLumoSymbol(*painter, markRect, QStringLiteral("arrow.right"), ConsoleColors::cyan());
        content.setRight(markRect.left() - kSpacing);
    }

    const QString number = index.data(CueListModel::NumberRole).toString();
    const QFont digits = ConsoleText::monospacedDigits(option.font);
    painter->setFont(digits);
    painter->setPen(ConsoleColors::secondaryText());
    const int numberWidth = QFontMetrics(digits).horizontalAdvance(number);
    painter->drawText(content, Qt::AlignVCenter | Qt::AlignLeft, number);
    content.setLeft(content.left() + numberWidth + kSpacing);

    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name =
        option.fontMetrics.elidedText(shownLength(index.data().toString()), Qt::ElideRight, content.width());
    painter->drawText(content, Qt::AlignVCenter | Qt::AlignLeft, name);
    painter->restore();
}

QSize CueRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width(), option.fontMetrics.height() + 12};
}

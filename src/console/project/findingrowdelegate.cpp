#include "findingrowdelegate.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "lumoicons.h"
#include "shownlength.h"

#include <QPainter>

static constexpr int kIconSize = 18;
static constexpr int kArrowSize = 12;
static constexpr int kSpacing = 8;
static constexpr int kLineSpacing = 4;
static constexpr int kPadding = 4;

void FindingRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state & QStyle::State_MouseOver)
        painter->fillRect(option.rect, option.palette.color(QPalette::Highlight).darker(300));
    QRect content = option.rect.adjusted(kSpacing, kPadding, -kSpacing, -kPadding);

    const bool warning = index.data(WarningRole).toBool();
    const QRect mark(content.left(), content.center().y() - kIconSize / 2, kIconSize, kIconSize);
    if (warning)
        paintLumoSymbol(*painter, mark, QStringLiteral("info.circle"), ConsoleColors::yellow());
    else
        paintLumoSymbol(*painter, mark, QStringLiteral("exclamationmark.circle"), ConsoleColors::orange());
    content.setLeft(content.left() + kIconSize + kSpacing);

    const QRect arrow(content.right() - kArrowSize + 1, content.center().y() - kArrowSize / 2, kArrowSize, kArrowSize);
    paintLumoSymbol(*painter, arrow, QStringLiteral("arrow.up.right"), ConsoleColors::secondaryText());
    content.setRight(arrow.left() - kSpacing);

    const QFont caption = ConsoleText::caption(option.font);
    const int textHeight = option.fontMetrics.height();
    const int captionHeight = QFontMetrics(caption).height();
    const int top = content.center().y() - (textHeight + kLineSpacing + captionHeight) / 2;
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(
        QRect(content.left(), top, content.width(), textHeight), Qt::AlignLeft | Qt::AlignVCenter,
        option.fontMetrics.elidedText(shownLength(index.data().toString()), Qt::ElideRight, content.width()));
    painter->setFont(caption);
    painter->setPen(ConsoleColors::secondaryText());
    painter->drawText(QRect(content.left(), top + textHeight + kLineSpacing, content.width(), captionHeight),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(caption).elidedText(shownLength(index.data(CueNameRole).toString()), Qt::ElideRight,
                                                       content.width()));
    painter->restore();
}

// Only the marks claim width: the list stretches each row to what it shows, so a row never outgrows the list
// when its scrollbar appears, and the texts are cut to fit.
QSize FindingRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int height =
        option.fontMetrics.height() + kLineSpacing + QFontMetrics(ConsoleText::caption(option.font)).height();
    return {kIconSize + kArrowSize + 4 * kSpacing, height + 2 * kPadding + 8};
}

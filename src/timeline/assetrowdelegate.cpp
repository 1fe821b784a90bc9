#include "assetrowdelegate.h"

#include "assetthumbnails.h"
#include "consolecolors.h"
#include "consoletext.h"
#include "enums.h"
#include "lumoicons.h"
#include "mediafiles.h"
#include "medialibrarylist.h"
#include "shownlength.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kVerticalPadding = 2;
constexpr int kHorizontalInset = 10;
constexpr int kSpacing = 8;
constexpr int kTextSpacing = 3;
constexpr double kCornerRadius = 4;
constexpr double kSymbolSize = 18;

QString symbolOf(AssetKind kind)
{
    switch (kind) {
    case AssetKind::image:
        return QStringLiteral("photo");
    case AssetKind::video:
        return QStringLiteral("film");
    case AssetKind::audio:
        return QStringLiteral("waveform");
    }
    return {};
}
} // namespace

AssetRowDelegate::AssetRowDelegate(AssetThumbnails& thumbnails, MediaFiles& files, QObject* parent)
    : QStyledItemDelegate(parent), m_thumbnails(thumbnails), m_files(files)
{
}

QString AssetRowDelegate::caption(const MediaAsset& asset, MediaFiles& files)
{
    QString text = rawValue(asset.kind);
    // A file whose answer is on the way is marked once it has come.
    const FileState state = files.state(asset.url, FileDepth::readable);
    const std::optional<FileAnswer> answer = files.known(asset.url, FileDepth::readable);
    if (state == FileState::stalled)
        text += QStringLiteral(" · 文件无响应");
    else if (answer && !answer->readable)
        text += QStringLiteral(" · 文件缺失");
    return text;
}

void AssetRowDelegate::paintThumbnail(QPainter& painter, const QRectF& rect, AssetKind kind,
                                      const std::optional<QImage>& still)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath frame;
    frame.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    painter.fillPath(frame, QColor(255, 255, 255, 20));
    if (still && !still->isNull()) {
        painter.setClipPath(frame);
        const QSizeF fitted = QSizeF(still->size()).scaled(rect.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(rect.center());
        painter.drawImage(target, *still);
    } else {
        QRectF symbol(0, 0, kSymbolSize, kSymbolSize);
        symbol.moveCenter(rect.center());
        paintLumoSymbol(painter, symbol, symbolOf(kind), ConsoleColors::secondaryText());
    }
    painter.restore();
}

void AssetRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* list = qobject_cast<const MediaLibraryList*>(index.model());
    if (!list)
        return;
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const MediaAsset& asset = list->asset(index.row());
    const QRect row = option.rect.adjusted(kHorizontalInset, kVerticalPadding, -kHorizontalInset, -kVerticalPadding);
    const QRectF thumbnail(row.left(), row.center().y() - kThumbnailSize.height() / 2.0 + 0.5, kThumbnailSize.width(),
                           kThumbnailSize.height());
    paintThumbnail(*painter, thumbnail, asset.kind, m_thumbnails.still(asset));

    const QFont nameFont = option.font;
    const QFont captionFont = ConsoleText::caption(option.font);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics captionMetrics(captionFont);
    const int textLeft = int(thumbnail.right()) + kSpacing;
    const int textWidth = std::max(0, row.right() - textLeft);
    const int textHeight = nameMetrics.height() + kTextSpacing + captionMetrics.height();
    const int top = row.center().y() - textHeight / 2;

    painter->save();
    painter->setFont(nameFont);
    painter->setPen(ConsoleColors::primaryText());
    painter->drawText(QRect(textLeft, top, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(shownLength(asset.url.fileName()), Qt::ElideMiddle, textWidth));
    painter->setFont(captionFont);
    painter->setPen(ConsoleColors::secondaryText());
    painter->drawText(QRect(textLeft, top + nameMetrics.height() + kTextSpacing, textWidth, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(caption(asset, m_files), Qt::ElideRight, textWidth));
    painter->restore();
}

QSize AssetRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int text =
        QFontMetrics(option.font).height() + kTextSpacing + QFontMetrics(ConsoleText::caption(option.font)).height();
    return {kThumbnailSize.width() + kSpacing + 2 * kHorizontalInset,
            std::max(kThumbnailSize.height(), text) + 2 * kVerticalPadding};
}

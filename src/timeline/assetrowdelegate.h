#pragma once

#include "mediaasset.h"

#include <QImage>
#include <QStyledItemDelegate>
#include <optional>

class AssetThumbnails;
class MediaFiles;
class QPainter;

// One row of the media library: the entry's thumbnail, its file name (cut in the middle) and below it the kind,
// marked "文件缺失" while the file cannot be read. The mark reads the disk's last answer on every paint; the files in
// view are asked again twice a second (ShownFilesWatch), and a changed answer redraws the row.
class AssetRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    static constexpr QSize kThumbnailSize{62, 36};

    AssetRowDelegate(AssetThumbnails& thumbnails, MediaFiles& files, QObject* parent = nullptr);

    // The kind's name, with the missing-file mark when the file cannot be read, or the mark of a file that does not
    // answer.
    static QString caption(const MediaAsset& asset, MediaFiles& files);
    // The thumbnail: the still letterboxed into the rect, or the kind's symbol while there is none.
    static void paintThumbnail(QPainter& painter, const QRectF& rect, AssetKind kind,
                               const std::optional<QImage>& still);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    AssetThumbnails& m_thumbnails;
    MediaFiles& m_files;
};

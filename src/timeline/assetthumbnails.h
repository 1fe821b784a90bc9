#pragma once

#include "mediaasset.h"
#include "mediafile.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <optional>

// The small stills of the media library's rows, made off the main thread and kept by file URL, so a row that
// scrolls back into view or is redrawn does not decode its file again. Pictures are read reduced (at most 160
// pixels on the longer side, upright by their orientation tag), videos give their frame at the start, or the first
// frame of their picture when it begins later than their sound (at most 160 × 100); audio has no still. A file that
// cannot be decoded is remembered as having none, so the row keeps its kind's symbol until the file changes on disk (it
// is written again, or comes back after it went missing).
class MediaFiles;

class AssetThumbnails : public QObject
{
    Q_OBJECT
  public:
    static constexpr int kPictureMaxPixels = 160;
    static constexpr QSize kVideoMaxSize{160, 100};

    // Whether a file changed is asked of files, off the main thread.
    explicit AssetThumbnails(MediaFiles& files, QObject* parent = nullptr);
    ~AssetThumbnails() override;

    // The still made for the file, or none while it is loading or when it has none; asking starts the loading.
    std::optional<QImage> still(const MediaAsset& asset);
    // Whether the file's still (or the lack of one) is known, without starting anything.
    bool isSettled(const QUrl& url) const { return m_stills.contains(url); }
    // Decodings started and not yet finished.
    int pending() const { return int(m_loading.size()); }

  signals:
    // A still for the file is ready (or the file turned out to have none).
    void loaded(const QUrl& url);

  private:
    struct Still
    {
        QImage image;
        // The file's stamp on disk when it was read; without a file when it could not be found.
        FileStamp stamp;
    };
    void store(const QUrl& url, const QImage& image, const FileStamp& stamp);

    MediaFiles& m_files;
    QHash<QUrl, Still> m_stills;
    QSet<QUrl> m_loading;
};

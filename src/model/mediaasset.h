#pragma once

#include "enums.h"
#include "newuuid.h"

#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <optional>

// Whether two addresses are equal. A copied address shares its data with the one it came from and is equal to it
// without comparing parts: a large show's libraries are compared whole on many changes, and a library is mostly
// copies of the one before.
inline bool sameUrl(const QUrl& a, const QUrl& b)
{
    return const_cast<QUrl&>(a).data_ptr() == const_cast<QUrl&>(b).data_ptr() || a == b;
}

// One entry of the show's media library.
struct MediaAsset
{
    QUuid id = newUuid();
    QUrl url;
    AssetKind kind = AssetKind::image;
    std::optional<double> duration;

    bool operator==(const MediaAsset& other) const
    {
        return id == other.id && kind == other.kind && duration == other.duration && sameUrl(url, other.url);
    }
};

// The kind of a media file from its file name alone; the file is not read.
std::optional<AssetKind> assetKind(const QUrl& url);

// The file-name patterns ("*.mp4", ...) of every file type that assetKind takes for this kind, for file panels.
QStringList assetFilePatterns(AssetKind kind);
// A file panel's type filters for these kinds, "名称 (*.a *.b)": "所有媒体" first when there are several, then each
// kind by its name. Goes through the whole MIME database: the panel program makes them, never the console.
QStringList assetNameFilters(const QList<AssetKind>& kinds);

// Whether a lane of this track may hold a clip of the asset.
bool accepts(Track track, const MediaAsset& asset);

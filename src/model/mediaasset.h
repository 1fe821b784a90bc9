#pragma once

#include "enums.h"
#include "newuuid.h"

#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <optional>

// One entry of the show's media library.
struct MediaAsset
{
    QUuid id = newUuid();
    QUrl url;
    AssetKind kind = AssetKind::image;
    std::optional<double> duration;

    bool operator==(const MediaAsset&) const = default;
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

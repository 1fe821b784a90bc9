#include "mediaasset.h"

#include <QMimeDatabase>

static bool belongsTo(const QMimeType& type, QStringView family)
{
    if (type.name().startsWith(family))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(),
                       [family](const QString& ancestor) { return ancestor.startsWith(family); });
}

std::optional<AssetKind> assetKind(const QUrl& url)
{
    // Only the name is matched, so a file that is gone or unreadable still has its kind.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(url.fileName(), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return std::nullopt;
    if (belongsTo(type, u"image/"))
        return AssetKind::image;
    if (belongsTo(type, u"video/"))
        return AssetKind::video;
    if (belongsTo(type, u"audio/"))
        return AssetKind::audio;
    return std::nullopt;
}

bool accepts(Track track, const MediaAsset& asset)
{
    switch (track) {
    case Track::main:
    case Track::side:
        return asset.kind == AssetKind::image || asset.kind == AssetKind::video;
    case Track::music:
    case Track::effects:
        return asset.kind == AssetKind::audio;
    case Track::message:
        return false;
    }
    return false;
}

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

static QStringView family(AssetKind kind)
{
    switch (kind) {
    case AssetKind::image:
        return u"image/";
    case AssetKind::video:
        return u"video/";
    case AssetKind::audio:
        return u"audio/";
    }
    return {};
}

std::optional<AssetKind> assetKind(const QUrl& url)
{
    // Only the name is matched, so a file that is gone or unreadable still has its kind.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(url.fileName(), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return std::nullopt;
    for (AssetKind kind : allCases<AssetKind>())
        if (belongsTo(type, family(kind)))
            return kind;
    return std::nullopt;
}

QStringList assetFilePatterns(AssetKind kind)
{
    // A pattern counts for this kind only when assetKind would decide the same for a file that matches it, so the
    // panel never offers a file that the document files under another kind.
    QStringList patterns;
    for (const QMimeType& type : QMimeDatabase().allMimeTypes()) {
        if (!belongsTo(type, family(kind)))
            continue;
        for (const QString& pattern : type.globPatterns())
            if (pattern.startsWith(u"*.") && !patterns.contains(pattern) &&
                assetKind(QUrl::fromLocalFile(QStringLiteral("file") + pattern.mid(1))) == kind)
                patterns.append(pattern);
    }
    patterns.sort();
    return patterns;
}

static QString nameFilter(const QString& name, const QStringList& patterns)
{
    return QStringLiteral("%1 (%2)").arg(name, patterns.join(u' '));
}

QStringList assetNameFilters(const QList<AssetKind>& kinds)
{
    QStringList filters;
    QStringList all;
    for (AssetKind kind : kinds) {
        const QStringList patterns = assetFilePatterns(kind);
        filters << nameFilter(rawValue(kind), patterns);
        all << patterns;
    }
    if (kinds.size() > 1)
        filters.prepend(nameFilter(QStringLiteral("所有媒体"), all));
    return filters;
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

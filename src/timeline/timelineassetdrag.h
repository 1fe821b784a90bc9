#pragma once

#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <QUuid>
#include <optional>

// What a library row carries when it is dragged onto a lane: the id of its entry, coded as the JSON object
// {"assetID": "<uuid>"}. Decoding needs that key and ignores any other.
struct TimelineAssetDrag
{
    QUuid assetID;

    static QString mimeType() { return QStringLiteral("application/x-lumoria-timeline-asset"); }

    QByteArray toJson() const;
    static std::optional<TimelineAssetDrag> fromJson(const QByteArray& json);

    // Mime data that only this process can read: other applications are offered no format at all.
    QMimeData* toMimeData() const;
    static std::optional<TimelineAssetDrag> fromMimeData(const QMimeData* data);
};

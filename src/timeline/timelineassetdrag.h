#pragma once

#include <QString>
#include <QUuid>
#include <optional>

class QMimeData;

// A library entry dragged onto the timeline: the JSON object {"assetID": "<id>"} under the application's own type.
// The timeline takes only drags made in this process; data that merely looks alike, as a drag from another process
// does, is refused.
namespace TimelineAssetDrag {

inline const QString kMimeType = QStringLiteral("application/x-lumoria-timeline-asset");

// The drag's data; the caller (or the QDrag it is handed to) owns it.
QMimeData* mimeData(const QUuid& assetID);
// The asset id of data made by mimeData in this process, or none for any other data or a malformed payload.
std::optional<QUuid> assetID(const QMimeData& data);

} // namespace TimelineAssetDrag

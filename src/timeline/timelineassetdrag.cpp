#include "timelineassetdrag.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace TimelineAssetDrag {

static const QString kKey = QStringLiteral("assetID");

namespace {
// Marks data made here: a drop carries this very object only when its drag started in this process. It lists no
// format, so a drag that leaves the window offers other programs nothing.
class OwnAssetData : public QMimeData
{
  public:
    QStringList formats() const override { return {}; }
    bool hasFormat(const QString& mimeType) const override { return QMimeData::formats().contains(mimeType); }
};
} // namespace

QMimeData* mimeData(const QUuid& assetID)
{
    auto* data = new OwnAssetData;
    const QJsonObject payload{{kKey, assetID.toString(QUuid::WithoutBraces).toUpper()}};
    data->setData(kMimeType, QJsonDocument(payload).toJson(QJsonDocument::Compact));
    return data;
}

std::optional<QUuid> assetID(const QMimeData& data)
{
    if (!dynamic_cast<const OwnAssetData*>(&data) || !data.hasFormat(kMimeType))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(data.data(kMimeType));
    const QUuid id = QUuid::fromString(document.object().value(kKey).toString());
    if (id.isNull())
        return std::nullopt;
    return id;
}

} // namespace TimelineAssetDrag

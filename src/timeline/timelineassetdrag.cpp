#include "timelineassetdrag.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr const char* kAssetIDKey = "assetID";

// Answers for the payload inside the process while listing no format, so a drag that leaves the window exports
// nothing to other programs.
class OwnProcessMimeData : public QMimeData
{
  public:
    explicit OwnProcessMimeData(QByteArray json) : m_json(std::move(json)) {}

    bool hasFormat(const QString& mimeType) const override
    {
        return mimeType == TimelineAssetDrag::mimeType() || QMimeData::hasFormat(mimeType);
    }
    QStringList formats() const override { return QMimeData::formats(); }

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (mimeType == TimelineAssetDrag::mimeType())
            return m_json;
        return QMimeData::retrieveData(mimeType, type);
    }

  private:
    QByteArray m_json;
};
} // namespace

QByteArray TimelineAssetDrag::toJson() const
{
    const QJsonObject object{{kAssetIDKey, assetID.toString(QUuid::WithoutBraces)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<TimelineAssetDrag> TimelineAssetDrag::fromJson(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue value = document.object().value(kAssetIDKey);
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    // Only the plain form: 36 characters, no braces.
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() || text.size() != 36)
        return std::nullopt;
    return TimelineAssetDrag{id};
}

QMimeData* TimelineAssetDrag::toMimeData() const
{
    return new OwnProcessMimeData(toJson());
}

std::optional<TimelineAssetDrag> TimelineAssetDrag::fromMimeData(const QMimeData* data)
{
    if (!data || !data->hasFormat(mimeType()))
        return std::nullopt;
    return fromJson(data->data(mimeType()));
}

#pragma once

#include "enums.h"
#include "jsonplace.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>
#include <type_traits>

// Turning document values into JSON. Every value that could not be read back (a number that is not finite, an
// empty URL) throws ShowJsonError naming its place instead of being written, since Qt would write null.
QJsonValue writeValue(const QString& value, const JsonPlace& place);
QJsonValue writeValue(double value, const JsonPlace& place);
QJsonValue writeValue(qint64 value, const JsonPlace& place);
QJsonValue writeValue(bool value, const JsonPlace& place);
QJsonValue writeValue(const QUuid& value, const JsonPlace& place);
QJsonValue writeValue(const QUrl& value, const JsonPlace& place);
QJsonValue writeValue(const QPointF& value, const JsonPlace& place);
QJsonValue writeValue(const QRectF& value, const JsonPlace& place);

template <typename E>
    requires std::is_enum_v<E>
QJsonValue writeValue(const E& value, const JsonPlace&)
{
    return rawValue(value);
}

template <typename T> QJsonValue writeValue(const QList<T>& values, const JsonPlace& place)
{
    QJsonArray array;
    for (qsizetype i = 0; i < values.size(); ++i)
        array.append(writeValue(values.at(i), JsonPlace(place, i)));
    return array;
}

template <typename T> QJsonValue writeValue(const QMap<QString, T>& values, const JsonPlace& place)
{
    QJsonObject object;
    for (auto it = values.begin(); it != values.end(); ++it)
        object.insert(it.key(), writeValue(it.value(), JsonPlace(place, it.key())));
    return object;
}

// Writes the members of one record as jsonFields(visit, record) names them; absent optionals are left out.
class JsonObjectWriter
{
public:
    explicit JsonObjectWriter(const JsonPlace& place) : m_place(place) {}

    template <typename T> void operator()(QLatin1StringView key, const T& value)
    {
        m_object.insert(key, writeValue(value, JsonPlace(m_place, key)));
    }
    template <typename T> void operator()(QLatin1StringView key, const std::optional<T>& value)
    {
        if (value)
            (*this)(key, *value);
    }

    QJsonObject take() { return std::move(m_object); }

private:
    QJsonObject m_object;
    const JsonPlace& m_place;
};

template <typename Record> QJsonValue writeValue(const Record& record, const JsonPlace& place)
{
    JsonObjectWriter visit(place);
    jsonFields(visit, record);
    return visit.take();
}

#include "jsonwriter.h"

#include "showjson.h"

#include <cmath>

[[noreturn]] static void refuse(const JsonPlace& place, const QString& problem)
{
    throw ShowJsonError((place.text() + QStringLiteral(": ") + problem).toStdString());
}

QJsonValue writeValue(const QString& value, const JsonPlace&) { return value; }

QJsonValue writeValue(double value, const JsonPlace& place)
{
    if (!std::isfinite(value))
        refuse(place, QStringLiteral("cannot write the number %1, it is not finite").arg(value));
    return value;
}

QJsonValue writeValue(qint64 value, const JsonPlace&) { return value; }

QJsonValue writeValue(bool value, const JsonPlace&) { return value; }

QJsonValue writeValue(const QUuid& value, const JsonPlace&)
{
    return QString::fromLatin1(value.toByteArray(QUuid::WithoutBraces).toUpper());
}

QJsonValue writeValue(const QUrl& value, const JsonPlace& place)
{
    // An empty or broken URL would make the whole file unreadable.
    if (value.isEmpty() || !value.isValid())
        refuse(place, QStringLiteral("cannot write an empty or invalid URL"));
    return QString::fromLatin1(value.toEncoded());
}

QJsonValue writeValue(const QPointF& value, const JsonPlace& place)
{
    return QJsonArray{writeValue(value.x(), place), writeValue(value.y(), place)};
}

QJsonValue writeValue(const QRectF& value, const JsonPlace& place)
{
    return QJsonArray{writeValue(value.topLeft(), place), writeValue(QPointF(value.width(), value.height()), place)};
}

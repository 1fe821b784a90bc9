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

// One value of the project file being read, with its place for error texts. Every reading function either fills
// its target completely or throws ShowJsonError naming the place, so a bad file never yields part of a show.
class JsonReader
{
  public:
    JsonReader(QJsonValue value, const JsonPlace& place) : m_value(std::move(value)), m_place(place) {}

    const QJsonValue& value() const { return m_value; }
    const JsonPlace& place() const { return m_place; }
    // Missing and null both mean an absent optional.
    bool isAbsent() const { return m_value.isUndefined() || m_value.isNull(); }

    [[noreturn]] void fail(const QString& problem) const;
    QJsonObject object() const;
    QJsonArray array() const;

  private:
    QJsonValue m_value;
    const JsonPlace& m_place;
};

// Exactly 8-4-4-4-12 hexadecimal digits in either case; QUuid::fromString would also take braces.
std::optional<QUuid> uuidFrom(const QString& text);

void readValue(const JsonReader& in, QString& out);
void readValue(const JsonReader& in, double& out);
void readValue(const JsonReader& in, qint64& out);
void readValue(const JsonReader& in, bool& out);
void readValue(const JsonReader& in, QUuid& out);
void readValue(const JsonReader& in, QUrl& out);
void readValue(const JsonReader& in, QPointF& out);
void readValue(const JsonReader& in, QRectF& out);

template <typename T> void readField(const JsonReader& in, T& out);

template <typename E>
requires std::is_enum_v<E>
void readValue(const JsonReader& in, E& out)
{
    QString text;
    readValue(in, text);
    const std::optional<E> value = fromRawValue<E>(text);
    if (!value)
        in.fail(QStringLiteral("未知的值 ") + quotedValue(text));
    out = *value;
}

template <typename T> void readValue(const JsonReader& in, std::optional<T>& out)
{
    if (in.isAbsent()) {
        out.reset();
        return;
    }
    T value;
    readValue(in, value);
    out = std::move(value);
}

template <typename T> void readValue(const JsonReader& in, QList<T>& out)
{
    const QJsonArray array = in.array();
    out.clear();
    out.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const JsonPlace place(in.place(), i);
        T value;
        readField(JsonReader(array.at(i), place), value);
        out.append(std::move(value));
    }
}

template <typename T> void readValue(const JsonReader& in, QMap<QString, T>& out)
{
    const QJsonObject object = in.object();
    out.clear();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        const JsonPlace place(in.place(), key);
        readField(JsonReader(it.value(), place), out[key]);
    }
}

// Reads the members of one record: jsonFields(visit, record), found by argument-dependent lookup, names them.
class JsonObjectReader
{
  public:
    explicit JsonObjectReader(const JsonReader& in) : m_object(in.object()), m_place(in.place()) {}

    template <typename T> void operator()(QLatin1StringView key, T& out) const
    {
        const JsonPlace place(m_place, key);
        readField(JsonReader(m_object.value(key), place), out);
    }

  private:
    QJsonObject m_object;
    const JsonPlace& m_place;
};

template <typename Record> void readValue(const JsonReader& in, Record& out)
{
    JsonObjectReader visit(in);
    jsonFields(visit, out);
}

template <typename T> struct IsOptional : std::false_type
{
};
template <typename T> struct IsOptional<std::optional<T>> : std::true_type
{
};

// A required value must be present and not null.
template <typename T> void readField(const JsonReader& in, T& out)
{
    if constexpr (!IsOptional<T>::value) {
        if (in.value().isUndefined())
            in.fail(QStringLiteral("缺少必需的值"));
        if (in.value().isNull())
            in.fail(QStringLiteral("必需的值为 null"));
    }
    readValue(in, out);
}

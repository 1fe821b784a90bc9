#pragma once

#include "enums.h"
#include "jsonplace.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>
#include <type_traits>

// Writes JSON text straight into one buffer, laid out byte for byte as QJsonDocument::toJson lays it out (indented:
// four spaces and ": ", a final line break; compact: no spaces). Building a QJsonObject tree first costs more than
// the writing itself. Members must be given in sorted key order.
class JsonWriter
{
  public:
    explicit JsonWriter(bool indented) : m_indented(indented) {}

    void beginObject() { begin('{'); }
    void endObject() { end('}'); }
    void beginArray() { begin('['); }
    void endArray() { end(']'); }
    void key(QLatin1StringView name);
    void key(const QString& name);
    // Before each element of an array.
    void element();

    void string(const QString& text);
    void number(double value);
    void integer(qint64 value);
    void boolean(bool value) { m_text += value ? "true" : "false"; }
    void latin1(QByteArrayView text);

    QByteArray finish();

  private:
    void begin(char bracket);
    void end(char bracket);
    void separate();
    void indent();

    QByteArray m_text;
    int m_depth = 0;
    bool m_first = true;
    bool m_indented;
};

// Values that could not be read back (a number that is not finite, an empty URL) throw ShowJsonError naming their
// place instead of being written: Qt would write null and the file could never be opened again.
void writeValue(JsonWriter& out, const QString& value, const JsonPlace& place);
void writeValue(JsonWriter& out, double value, const JsonPlace& place);
void writeValue(JsonWriter& out, qint64 value, const JsonPlace& place);
void writeValue(JsonWriter& out, bool value, const JsonPlace& place);
void writeValue(JsonWriter& out, const QUuid& value, const JsonPlace& place);
void writeValue(JsonWriter& out, const QUrl& value, const JsonPlace& place);
void writeValue(JsonWriter& out, const QPointF& value, const JsonPlace& place);
void writeValue(JsonWriter& out, const QRectF& value, const JsonPlace& place);

template <typename E>
requires std::is_enum_v<E>
void writeValue(JsonWriter& out, const E& value, const JsonPlace&)
{
    out.string(rawValue(value));
}

template <typename T> void writeValue(JsonWriter& out, const QList<T>& values, const JsonPlace& place)
{
    out.beginArray();
    for (qsizetype i = 0; i < values.size(); ++i) {
        out.element();
        writeValue(out, values.at(i), JsonPlace(place, i));
    }
    out.endArray();
}

template <typename T> void writeValue(JsonWriter& out, const QMap<QString, T>& values, const JsonPlace& place)
{
    out.beginObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        out.key(it.key());
        writeValue(out, it.value(), JsonPlace(place, it.key()));
    }
    out.endObject();
}

// Writes the members of one record as jsonFields(visit, record) names them; absent optionals are left out.
class JsonObjectWriter
{
  public:
    JsonObjectWriter(JsonWriter& out, const JsonPlace& place) : m_out(out), m_place(place) {}

    template <typename T> void operator()(QLatin1StringView key, const T& value)
    {
        m_out.key(key);
        writeValue(m_out, value, JsonPlace(m_place, key));
    }
    template <typename T> void operator()(QLatin1StringView key, const std::optional<T>& value)
    {
        if (value)
            (*this)(key, *value);
    }

  private:
    JsonWriter& m_out;
    const JsonPlace& m_place;
};

template <typename Record> void writeValue(JsonWriter& out, const Record& record, const JsonPlace& place)
{
    out.beginObject();
    JsonObjectWriter visit(out, place);
    jsonFields(visit, record);
    out.endObject();
}

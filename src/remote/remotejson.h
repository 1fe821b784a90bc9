#pragma once

#include "jsonreader.h"
#include "jsonwriter.h"
#include "showjson.h"

#include <QJsonDocument>
#include <QLatin1StringView>

// The one way a remote record becomes JSON and back: the field list of jsonFields(visit, record), read with the
// project file's strict rules (exact types, null as absent for optionals) and written compact.
namespace RemoteJson {

template <typename Record> std::optional<Record> decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    try {
        Record record;
        const JsonPlace place;
        readValue(JsonReader(document.object(), place), record);
        return record;
    } catch (const ShowJsonError&) {
        return std::nullopt;
    }
}

template <typename Record> QByteArray encode(const Record& record)
{
    try {
        JsonWriter out(false);
        writeValue(out, record, JsonPlace());
        return out.finish();
    } catch (const ShowJsonError&) {
        return {};
    }
}

} // namespace RemoteJson

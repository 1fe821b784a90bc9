#include "showjson.h"

#include "jsonreader.h"
#include "jsonwriter.h"

#include <QJsonDocument>
#include <concepts>

using namespace Qt::StringLiterals;

// Each record lists its members once, for reading (C is the record) and writing (C is the const record), so the
// two can never disagree about keys or forms. Members are listed in declaration order.
template <typename C, typename Record>
concept RecordOf = std::same_as<std::remove_const_t<C>, Record>;

template <typename Visit, RecordOf<ScreenRole> C> void jsonFields(Visit& visit, C& role)
{
    visit("rawValue"_L1, role.rawValue);
}

template <typename Visit, RecordOf<Lighting> C> void jsonFields(Visit& visit, C& lighting)
{
    visit("address"_L1, lighting.address);
    visit("level"_L1, lighting.level);
    visit("fade"_L1, lighting.fade);
}

template <typename Visit, RecordOf<CurveHandles> C> void jsonFields(Visit& visit, C& handles)
{
    visit("left"_L1, handles.left);
    visit("right"_L1, handles.right);
    visit("up"_L1, handles.up);
    visit("down"_L1, handles.down);
}

template <typename Visit, RecordOf<ProjectorMapping> C> void jsonFields(Visit& visit, C& mapping)
{
    visit("enabled"_L1, mapping.enabled);
    visit("source"_L1, mapping.source);
    visit("crop"_L1, mapping.crop);
    visit("corners"_L1, mapping.corners);
    visit("edges"_L1, mapping.edges);
    visit("gamma"_L1, mapping.gamma);
    visit("mesh"_L1, mapping.mesh);
    visit("meshRows"_L1, mapping.meshRows);
    visit("meshColumns"_L1, mapping.meshColumns);
    visit("meshHandles"_L1, mapping.meshHandles);
    visit("polygonMask"_L1, mapping.polygonMask);
    visit("blackLevel"_L1, mapping.blackLevel);
}

template <typename Visit, RecordOf<MediaAsset> C> void jsonFields(Visit& visit, C& asset)
{
    visit("id"_L1, asset.id);
    visit("url"_L1, asset.url);
    visit("kind"_L1, asset.kind);
    visit("duration"_L1, asset.duration);
}

template <typename Visit, RecordOf<TimelineLane> C> void jsonFields(Visit& visit, C& lane)
{
    visit("track"_L1, lane.track);
    visit("layer"_L1, lane.layer);
    visit("screen"_L1, lane.screen);
}

template <typename Visit, RecordOf<TimelineEvent> C> void jsonFields(Visit& visit, C& event)
{
    visit("id"_L1, event.id);
    visit("time"_L1, event.time);
    visit("track"_L1, event.track);
    visit("assetID"_L1, event.assetID);
    visit("outputScreen"_L1, event.outputScreen);
    visit("videoAudio"_L1, event.videoAudio);
    visit("videoMuted"_L1, event.videoMuted);
    visit("layer"_L1, event.layer);
    visit("imageDuration"_L1, event.imageDuration);
    visit("transport"_L1, event.transport);
    visit("host"_L1, event.host);
    visit("port"_L1, event.port);
    visit("payload"_L1, event.payload);
    visit("hex"_L1, event.hex);
    visit("oscAddress"_L1, event.oscAddress);
}

template <typename Visit, RecordOf<Cue> C> void jsonFields(Visit& visit, C& cue)
{
    visit("id"_L1, cue.id);
    visit("name"_L1, cue.name);
    visit("main"_L1, cue.main);
    visit("side"_L1, cue.side);
    visit("sideMirrorsMain"_L1, cue.sideMirrorsMain);
    visit("audio"_L1, cue.audio);
    visit("audioBus"_L1, cue.audioBus);
    visit("videoAudio"_L1, cue.videoAudio);
    visit("videoMuted"_L1, cue.videoMuted);
    visit("ending"_L1, cue.ending);
    visit("delay"_L1, cue.delay);
    visit("lighting"_L1, cue.lighting);
    visit("timeline"_L1, cue.timeline);
    visit("extraLanes"_L1, cue.extraLanes);
    visit("hiddenDefaultLanes"_L1, cue.hiddenDefaultLanes);
}

template <typename Visit, RecordOf<Show> C> void jsonFields(Visit& visit, C& show)
{
    visit("cues"_L1, show.cues);
    visit("artNetHost"_L1, show.artNetHost);
    visit("universe"_L1, show.universe);
    visit("assets"_L1, show.assets);
    visit("defaultPicture"_L1, show.defaultPicture);
    visit("outputScreens"_L1, show.outputScreens);
    visit("projectorMappings"_L1, show.projectorMappings);
    visit("displayBindings"_L1, show.displayBindings);
}

template <typename Record> static QByteArray encode(const Record& record, JsonFormat format)
{
    const JsonPlace root;
    const QJsonDocument document(writeValue(record, root).toObject());
    return document.toJson(format == JsonFormat::pretty ? QJsonDocument::Indented : QJsonDocument::Compact);
}

template <typename Record> static Record decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw ShowJsonError(
            QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString(), QString::number(error.offset)).toStdString());
    if (!document.isObject())
        throw ShowJsonError("not a JSON object");
    const JsonPlace root;
    Record record;
    readValue(JsonReader(document.object(), root), record);
    return record;
}

QByteArray encodeShow(const Show& show, JsonFormat format) { return encode(show, format); }

Show decodeShow(const QByteArray& bytes) { return decode<Show>(bytes); }

QByteArray encodeMapping(const ProjectorMapping& mapping) { return encode(mapping, JsonFormat::pretty); }

ProjectorMapping decodeMapping(const QByteArray& bytes) { return decode<ProjectorMapping>(bytes); }

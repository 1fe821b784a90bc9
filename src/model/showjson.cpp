#include "showjson.h"

#include "jsonrawtext.h"
#include "jsonreader.h"
#include "jsonwriter.h"
#include "showlimits.h"

#include <QJsonDocument>
#include <concepts>

using namespace Qt::StringLiterals;

// Each record lists its members once, for reading (C is the record) and writing (C is the const record), so the
// two can never disagree about keys or forms. Members are listed in the sorted order in which they are written.
template <typename C, typename Record>
concept RecordOf = std::same_as<std::remove_const_t<C>, Record>;

template <typename Visit, RecordOf<ScreenRole> C> void jsonFields(Visit& visit, C& role)
{
    visit("rawValue"_L1, role.rawValue);
}

template <typename Visit, RecordOf<Lighting> C> void jsonFields(Visit& visit, C& lighting)
{
    visit("address"_L1, lighting.address);
    visit("fade"_L1, lighting.fade);
    visit("level"_L1, lighting.level);
}

template <typename Visit, RecordOf<CurveHandles> C> void jsonFields(Visit& visit, C& handles)
{
    visit("down"_L1, handles.down);
    visit("left"_L1, handles.left);
    visit("right"_L1, handles.right);
    visit("up"_L1, handles.up);
}

template <typename Visit, RecordOf<ProjectorMapping> C> void jsonFields(Visit& visit, C& mapping)
{
    visit("blackLevel"_L1, mapping.blackLevel);
    visit("corners"_L1, mapping.corners);
    visit("crop"_L1, mapping.crop);
    visit("edges"_L1, mapping.edges);
    visit("enabled"_L1, mapping.enabled);
    visit("gamma"_L1, mapping.gamma);
    visit("mesh"_L1, mapping.mesh);
    visit("meshColumns"_L1, mapping.meshColumns);
    visit("meshHandles"_L1, mapping.meshHandles);
    visit("meshRows"_L1, mapping.meshRows);
    visit("polygonMask"_L1, mapping.polygonMask);
    visit("source"_L1, mapping.source);
}

template <typename Visit, RecordOf<MediaAsset> C> void jsonFields(Visit& visit, C& asset)
{
    visit("duration"_L1, asset.duration);
    visit("id"_L1, asset.id);
    visit("kind"_L1, asset.kind);
    visit("url"_L1, asset.url);
}

template <typename Visit, RecordOf<TimelineLane> C> void jsonFields(Visit& visit, C& lane)
{
    visit("layer"_L1, lane.layer);
    visit("screen"_L1, lane.screen);
    visit("track"_L1, lane.track);
}

template <typename Visit, RecordOf<TimelineEvent> C> void jsonFields(Visit& visit, C& event)
{
    visit("assetID"_L1, event.assetID);
    visit("hex"_L1, event.hex);
    visit("host"_L1, event.host);
    visit("id"_L1, event.id);
    visit("imageDuration"_L1, event.imageDuration);
    visit("layer"_L1, event.layer);
    visit("oscAddress"_L1, event.oscAddress);
    visit("outputScreen"_L1, event.outputScreen);
    visit("payload"_L1, event.payload);
    visit("port"_L1, event.port);
    visit("time"_L1, event.time);
    visit("track"_L1, event.track);
    visit("transport"_L1, event.transport);
    visit("videoAudio"_L1, event.videoAudio);
    visit("videoMuted"_L1, event.videoMuted);
}

template <typename Visit, RecordOf<Cue> C> void jsonFields(Visit& visit, C& cue)
{
    visit("audio"_L1, cue.audio);
    visit("audioBus"_L1, cue.audioBus);
    visit("delay"_L1, cue.delay);
    visit("ending"_L1, cue.ending);
    visit("extraLanes"_L1, cue.extraLanes);
    visit("hiddenDefaultLanes"_L1, cue.hiddenDefaultLanes);
    visit("id"_L1, cue.id);
    visit("lighting"_L1, cue.lighting);
    visit("main"_L1, cue.main);
    visit("name"_L1, cue.name);
    visit("side"_L1, cue.side);
    visit("sideMirrorsMain"_L1, cue.sideMirrorsMain);
    visit("timeline"_L1, cue.timeline);
    visit("videoAudio"_L1, cue.videoAudio);
    visit("videoMuted"_L1, cue.videoMuted);
}

template <typename Visit, RecordOf<Show> C> void jsonFields(Visit& visit, C& show)
{
    visit("artNetHost"_L1, show.artNetHost);
    visit("assets"_L1, show.assets);
    visit("cues"_L1, show.cues);
    visit("defaultPicture"_L1, show.defaultPicture);
    visit("displayBindings"_L1, show.displayBindings);
    visit("outputScreens"_L1, show.outputScreens);
    visit("projectorMappings"_L1, show.projectorMappings);
    visit("universe"_L1, show.universe);
}

template <typename Record> static QByteArray encode(const Record& record, JsonFormat format)
{
    const JsonPlace root;
    JsonWriter out(format == JsonFormat::pretty);
    writeValue(out, record, root);
    return out.finish();
}

// What the parser found, in the operator's words (Qt's own are English unless its translations are loaded).
static QString parseProblem(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("对象没有结束");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("缺少冒号");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("数组没有结束");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("缺少逗号");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("有非法的值");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("数字之后意外结束");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("有非法的数字");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("有非法的转义序列");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("有非法的 UTF-8 文本");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("文本没有结束");
    case QJsonParseError::MissingObject:
        return QStringLiteral("缺少对象");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("嵌套过深");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("文件过大");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("结尾有多余内容");
    default:
        return QStringLiteral("格式有误");
    }
}

template <typename Record> static Record decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw ShowJsonError(
            QStringLiteral("JSON 格式错误，第 %1 字节处%2").arg(error.offset).arg(parseProblem(error.error)));
    if (const std::optional<QString> problem = rawTextProblem(bytes))
        throw ShowJsonError(*problem);
    if (!document.isObject())
        throw ShowJsonError(QStringLiteral("最外层不是 JSON 对象"));
    const JsonPlace root;
    Record record;
    readValue(JsonReader(document.object(), root), record);
    return record;
}

QByteArray encodeShow(const Show& show, JsonFormat format)
{
    return encode(show, format);
}

Show decodeShow(const QByteArray& bytes)
{
    Show show = decode<Show>(bytes);
    if (const std::optional<QString> problem = showLimitProblem(show))
        throw ShowLimitError(*problem);
    return show;
}

QByteArray encodeMapping(const ProjectorMapping& mapping)
{
    return encode(mapping, JsonFormat::pretty);
}

ProjectorMapping decodeMapping(const QByteArray& bytes)
{
    return decode<ProjectorMapping>(bytes);
}

#include "fullshow.h"
#include "showjson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray readData(const char* name)
{
    QFile file(QStringLiteral(LUMO_TEST_DATA "/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// The reader's error text, or an empty text when the bytes read.
QString decodeError(const QByteArray& bytes)
{
    try {
        decodeShow(bytes);
    } catch (const ShowJsonError& error) {
        return error.text();
    }
    return {};
}

QString encodeError(const Show& show)
{
    try {
        encodeShow(show, JsonFormat::compact);
    } catch (const ShowJsonError& error) {
        return error.text();
    }
    return {};
}

QJsonObject objectOf(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

QJsonObject minimalCue()
{
    return objectOf(R"({"id":"01234567-89AB-4CDE-8F01-23456789ABCD","name":"开场","sideMirrorsMain":false,)"
                    R"("audioBus":"背景音乐","videoAudio":false,"ending":"定格","delay":0})");
}

QJsonObject minimalEvent()
{
    return objectOf(R"({"id":"11111111-2222-4333-8444-555555555555","time":1,"track":"主屏","videoAudio":false,)"
                    R"("transport":"UDP","host":"","port":0,"payload":"","hex":false,"oscAddress":""})");
}

QJsonObject minimalShow(const QJsonArray& cues = {})
{
    return QJsonObject{{"cues", cues}, {"artNetHost", ""}, {"universe", 0}};
}

QByteArray bytesOf(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject with(QJsonObject object, const QString& key, const QJsonValue& value)
{
    object.insert(key, value);
    return object;
}

QByteArray showWithMember(const QString& key, const QJsonValue& value)
{
    return bytesOf(with(minimalShow(), key, value));
}

const QString kMappingPlace = QStringLiteral(R"(projectorMappings["屏幕 1"].)");

QByteArray showWithMapping(const QJsonObject& mapping)
{
    return showWithMember("projectorMappings", QJsonObject{{"屏幕 1", mapping}});
}

QByteArray showWithCueMember(const QString& key, const QJsonValue& value)
{
    return bytesOf(minimalShow({with(minimalCue(), key, value)}));
}

QByteArray showWithEventMember(const QString& key, const QJsonValue& value)
{
    return showWithCueMember("timeline", QJsonArray{with(minimalEvent(), key, value)});
}

QJsonObject encodedCue(const Cue& cue)
{
    Show show;
    show.cues = {cue};
    return QJsonDocument::fromJson(encodeShow(show, JsonFormat::compact))["cues"][0].toObject();
}

} // namespace

TEST(ShowJson, FullShowMatchesGoldenFileByteForByte)
{
    const QByteArray golden = readData("full-show.json");
    EXPECT_EQ(encodeShow(fullShow(), JsonFormat::pretty), golden);
    EXPECT_EQ(decodeShow(golden), fullShow());
    const Show fresh = Show::makeDefault();
    EXPECT_EQ(decodeShow(encodeShow(fresh, JsonFormat::pretty)), fresh);
}

TEST(ShowJson, BothFormsAreLaidOutExactlyAsQtWritesThemAndReadBack)
{
    Show show = fullShow();
    show.artNetHost = QString::fromUtf16(u"tab\t quote\" back\\ nl\n bell\u0007 del\u007f é 场 \U0001F3AC /");
    show.cues[0].delay = 1e-7;
    show.cues[1].delay = 100000;
    show.assets->first().duration = 9e15;
    show.assets->last().duration = 1.5e300;
    show.cues[0].lighting->fade = -0.0;
    show.universe = std::numeric_limits<qint64>::min();
    for (const auto& [ours, qts] : {std::pair{JsonFormat::pretty, QJsonDocument::Indented},
                                    std::pair{JsonFormat::compact, QJsonDocument::Compact}}) {
        const QByteArray bytes = encodeShow(show, ours);
        EXPECT_EQ(bytes, QJsonDocument::fromJson(bytes).toJson(qts));
        EXPECT_EQ(decodeShow(bytes), show);
    }
}

TEST(ShowJson, ReadsTheSmallestFileAndNamesEachMissingMember)
{
    const Show show = decodeShow(bytesOf(minimalShow()));
    EXPECT_TRUE(show.cues.isEmpty());
    EXPECT_EQ(show.screens(), QList<ScreenRole>{kScreen1});
    EXPECT_FALSE(show.assets || show.defaultPicture || show.outputScreens || show.projectorMappings ||
                 show.displayBindings);

    for (const QString& key : minimalShow().keys()) {
        QJsonObject object = minimalShow();
        object.remove(key);
        EXPECT_EQ(decodeError(bytesOf(object)), key + "：缺少必需的值");
        EXPECT_EQ(decodeError(showWithMember(key, QJsonValue::Null)), key + "：必需的值为 null");
    }
    for (const QString& key : minimalCue().keys()) {
        QJsonObject cue = minimalCue();
        cue.remove(key);
        EXPECT_EQ(decodeError(bytesOf(minimalShow({minimalCue(), cue}))), "cues[1]." + key + "：缺少必需的值");
    }
    for (const QString& key : minimalEvent().keys()) {
        QJsonObject event = minimalEvent();
        event.remove(key);
        EXPECT_EQ(decodeError(showWithCueMember("timeline", QJsonArray{event})),
                  "cues[0].timeline[0]." + key + "：缺少必需的值");
    }
}

TEST(ShowJson, AbsentOptionalsAreLeftOutAndStayDistinctFromEmptyOrFalse)
{
    Show show;
    show.cues = {Cue()};
    EXPECT_EQ(QJsonDocument::fromJson(encodeShow(show, JsonFormat::compact)).object().keys(), minimalShow().keys());
    EXPECT_EQ(encodedCue(show.cues[0]).keys(), minimalCue().keys());

    show.cues[0].videoMuted = false;
    show.cues[0].timeline = QList<TimelineEvent>{};
    show.outputScreens = QList<ScreenRole>{};
    EXPECT_EQ(decodeShow(encodeShow(show, JsonFormat::compact)), show);

    EXPECT_FALSE(decodeShow(showWithCueMember("videoMuted", QJsonValue::Null)).cues[0].videoMuted);
    EXPECT_FALSE(decodeShow(showWithCueMember("lighting", QJsonValue::Null)).cues[0].lighting);
    EXPECT_FALSE(
        decodeShow(showWithEventMember("outputScreen", QJsonValue::Null)).cues[0].timeline->at(0).outputScreen);
}

TEST(ShowJson, RejectsBadValuesNamingThePlaceAndIgnoresUnknownMembers)
{
    const struct
    {
        QByteArray bytes;
        const char* error;
    } cases[] = {
        {bytesOf(minimalShow({minimalCue()})), ""},
        {showWithMember("comment", QJsonObject{{"deep", QJsonArray{1, 2, QJsonObject{}}}}), ""},
        {showWithEventMember("kind", "video"), ""},
        {showWithCueMember("main", "https://example.com/a.mp4"), ""},
        {bytesOf(minimalShow({minimalCue(), minimalCue(), with(minimalCue(), "ending", "Hold")})),
         R"(cues[2].ending：未知的值 "Hold")"},
        {showWithEventMember("track", "Main"), R"(cues[0].timeline[0].track：未知的值 "Main")"},
        {showWithCueMember("name", 5), "cues[0].name：应为文本"},
        {showWithCueMember("sideMirrorsMain", 1), "cues[0].sideMirrorsMain：应为 true 或 false"},
        {showWithCueMember("delay", "0"), "cues[0].delay：应为数字"},
        {showWithCueMember("audioBus", " 音效"), R"(cues[0].audioBus：未知的值 " 音效")"},
        {showWithCueMember("ending", "自动 go"), R"(cues[0].ending：未知的值 "自动 go")"},
        {showWithCueMember("lighting", QJsonArray{1, 255, 0}), "cues[0].lighting：应为对象"},
        {showWithCueMember("lighting", QJsonObject{{"address", 1}, {"level", 2}}),
         "cues[0].lighting.fade：缺少必需的值"},
        {showWithCueMember("timeline", QJsonObject{}), "cues[0].timeline：应为数组"},
        {showWithCueMember("main", ""), R"(cues[0].main：不是有效的文件地址 "")"},
        {showWithCueMember("main", "file:///a b.mov"), R"(cues[0].main：不是有效的文件地址 "file:///a b.mov")"},
        {showWithEventMember("outputScreen", "屏幕 2"), "cues[0].timeline[0].outputScreen：应为对象"},
        {showWithEventMember("assetID", "nope"), R"(cues[0].timeline[0].assetID：不是有效的 UUID "nope")"},
        {showWithMember("displayBindings", QJsonObject{{"屏幕 1", 7}}), R"(displayBindings["屏幕 1"]：应为文本)"},
        {bytesOf(minimalShow({1})), "cues[0]：应为对象"},
        {bytesOf(minimalShow({QJsonValue::Null})), "cues[0]：必需的值为 null"},
        {"[]", "最外层不是 JSON 对象"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeError(c.bytes), QString::fromUtf8(c.error)) << c.bytes.toStdString();
    for (const char* notJson : {"", "\"cues\"", R"({"cues":[],"artNetHost":"","universe":0} x)"})
        EXPECT_TRUE(decodeError(notJson).startsWith("JSON 格式错误，第 ")) << notJson;
}

TEST(ShowJson, IntegersMustBeWholeAndFitIn64Bits)
{
    auto universe = [](const char* number) {
        return QByteArray(R"({"cues":[],"artNetHost":"","universe":)") + number + "}";
    };
    const std::pair<const char*, qint64> good[] = {{"9223372036854775807", std::numeric_limits<qint64>::max()},
                                                   {"-9223372036854775808", std::numeric_limits<qint64>::min()},
                                                   {"2.0", 2},
                                                   {"1e3", 1000}};
    for (const auto& [text, number] : good)
        EXPECT_EQ(decodeShow(universe(text)).universe, number) << text;
    for (const char* bad : {"1.5", "9223372036854775808", "1e300", "-1e19", "0.0001"})
        EXPECT_TRUE(decodeError(universe(bad)).startsWith("universe：应为 64 位以内的整数")) << bad;
    EXPECT_EQ(decodeError(universe("\"3\"")), "universe：应为整数");
    EXPECT_EQ(decodeError(universe("true")), "universe：应为整数");
    EXPECT_TRUE(decodeError(universe("1e400")).startsWith("JSON 格式错误，第 "));
}

TEST(ShowJson, UuidsAreWrittenUpperCaseAndReadInEitherCaseWithoutBraces)
{
    Cue cue;
    cue.id = QUuid("{6f1e2d3c-4b5a-4978-8a6b-5c4d3e2f1a0b}");
    EXPECT_EQ(encodedCue(cue).value("id"), QJsonValue("6F1E2D3C-4B5A-4978-8A6B-5C4D3E2F1A0B"));
    for (const char* text : {"6f1e2d3c-4b5a-4978-8a6b-5c4d3e2f1a0b", "6F1E2D3C-4b5a-4978-8A6B-5c4d3e2f1a0b"})
        EXPECT_EQ(decodeShow(showWithCueMember("id", text)).cues[0].id, cue.id) << text;
    for (const char* bad : {"{6F1E2D3C-4B5A-4978-8A6B-5C4D3E2F1A0B}", "6F1E2D3C4B5A49788A6B5C4D3E2F1A0B",
                            "6F1E2D3C-4B5A-4978-8A6B-5C4D3E2F1A0", "6F1E2D3C-4B5A-4978-8A6B-5C4D3E2F1A0G",
                            " 6F1E2D3C-4B5A-4978-8A6B-5C4D3E2F1A0", "6F1E2D3C+4B5A-4978-8A6B-5C4D3E2F1A0B", ""})
        EXPECT_EQ(decodeError(showWithCueMember("id", bad)),
                  QStringLiteral("cues[0].id：不是有效的 UUID \"%1\"").arg(bad));
}

TEST(ShowJson, FilesAreWrittenAsPercentEncodedFileUrls)
{
    Cue cue;
    cue.main = QUrl::fromLocalFile(QStringLiteral("/演出/my clip #1.mov"));
    EXPECT_EQ(encodedCue(cue).value("main"), QJsonValue("file:///%E6%BC%94%E5%87%BA/my%20clip%20%231.mov"));
    Show show;
    show.cues = {cue};
    EXPECT_EQ(decodeShow(encodeShow(show, JsonFormat::compact)).cues[0].main->toLocalFile(),
              QStringLiteral("/演出/my clip #1.mov"));
}

TEST(ShowJson, UrlsAsWrittenByHandReadBackEqualAfterSaving)
{
    for (const char* url : {"file:///shows/sta###ndby.jpg", "file:///shows/a#b#c", "file:///s/%7e?q=%5B1%5D#f%23g#h",
                            "http://host/a#c#d", "file:///shows/%E5%BC%A2"}) {
        const Show read = decodeShow(showWithCueMember("main", url));
        for (const JsonFormat format : {JsonFormat::pretty, JsonFormat::compact}) {
            const QByteArray written = encodeShow(read, format);
            EXPECT_EQ(decodeShow(written), read) << url;
            EXPECT_EQ(encodeShow(decodeShow(written), format), written) << url;
        }
    }
}

TEST(ShowJson, RefusesToWriteWhatCouldNotBeReadBack)
{
    Show show = Show::makeDefault();
    show.cues[1].delay = std::nan("");
    EXPECT_TRUE(encodeError(show).startsWith("cues[1].delay：数字 nan 不是有限值")) << encodeError(show).toStdString();

    show = Show::makeDefault();
    ProjectorMapping mapping;
    mapping.corners[2].setY(std::numeric_limits<double>::infinity());
    show.projectorMappings = QMap<QString, ProjectorMapping>{{"屏幕 1", mapping}};
    EXPECT_TRUE(encodeError(show).startsWith(R"(projectorMappings["屏幕 1"].corners[2]：数字 inf 不是有限值)"));

    show = Show::makeDefault();
    show.assets = QList<MediaAsset>{MediaAsset()};
    EXPECT_EQ(encodeError(show), "assets[0].url：文件地址为空或无效，无法写入");
}

TEST(ShowJson, GoldenBadFilesFailWithTheirPlace)
{
    const std::pair<const char*, const char*> cases[] = {
        {"bad-english-ending.json", R"(cues[2].ending：未知的值 "Hold")"},
        {"bad-braced-uuid.json", R"(cues[0].id：不是有效的 UUID "{01234567-89AB-4CDE-8F01-23456789ABCD}")"},
        {"bad-bare-screen.json", "outputScreens[1]：应为对象"},
        {"bad-missing-gamma.json", R"(projectorMappings["屏幕 2"].gamma：缺少必需的值)"},
        {"bad-fractional-port.json", "cues[0].timeline[0].port：应为 64 位以内的整数"},
    };
    for (const auto& [file, error] : cases)
        EXPECT_TRUE(decodeError(readData(file)).startsWith(QString::fromUtf8(error))) << file;
}

TEST(ShowJson, NeverCrashesOnTruncatedOrHostileInput)
{
    const QByteArray golden = readData("full-show.json");
    for (qsizetype length = 0; length < golden.size() - 2; ++length)
        EXPECT_FALSE(decodeError(golden.left(length)).isEmpty()) << length;

    EXPECT_FALSE(decodeError(QByteArray(100000, '[')).isEmpty());
    EXPECT_FALSE(decodeError(QByteArray(100000, '{')).isEmpty());
    const QByteArray deep = QByteArray(500, '[') + QByteArray(500, ']');
    EXPECT_EQ(decodeError(R"({"cues":[],"artNetHost":"","universe":0,"extra":)" + deep + "}"), QString());
    EXPECT_EQ(decodeError(R"({"cues":)" + deep + R"(,"artNetHost":"","universe":0})"), "cues[0]：应为对象");
    EXPECT_FALSE(decodeError("\xff\xfe{}").isEmpty());
    EXPECT_FALSE(decodeError(QByteArray("{\"cues\":[],\"artNetHost\":\"\0\",\"universe\":0}", 40)).isEmpty());
}

TEST(MappingJson, DefaultIsWrittenWithFiveRequiredKeysAndOptionalsReadBack)
{
    const QJsonObject defaults = QJsonDocument::fromJson(encodeMapping(ProjectorMapping())).object();
    EXPECT_EQ(defaults, objectOf(R"({"corners":[[0,0],[1,0],[1,1],[0,1]],"crop":[[0,0],[1,1]],"edges":[0,0,0,0],)"
                                 R"("enabled":false,"gamma":1})"));
    for (const QString& key : defaults.keys()) {
        QJsonObject object = defaults;
        object.remove(key);
        EXPECT_EQ(decodeError(showWithMapping(object)), kMappingPlace + key + "：缺少必需的值");
    }

    QJsonObject object = defaults;
    object.insert("meshRows", 1);
    object.insert("meshColumns", 40);
    object.insert("blackLevel", QJsonValue::Null);
    object.insert("mesh", QJsonArray{QJsonArray{0, 0}});
    const ProjectorMapping mapping = decodeMapping(QJsonDocument(object).toJson());
    EXPECT_EQ(mapping.meshRows, 1);
    EXPECT_EQ(mapping.meshColumns, 40);
    EXPECT_FALSE(mapping.blackLevel);
    EXPECT_EQ(decodeMapping(encodeMapping(mapping)), mapping);
}

TEST(MappingJson, RejectsMistypedShapes)
{
    const QJsonObject defaults = QJsonDocument::fromJson(encodeMapping(ProjectorMapping())).object();
    const struct
    {
        const char* key;
        QJsonValue value;
        const char* error;
    } cases[] = {
        {"crop", QJsonArray{0, 0, 1, 1}, "crop：应为矩形 [[x, y], [宽, 高]]"},
        {"corners", QJsonArray{QJsonArray{0, 0, 0}}, "corners[0]：应为点 [x, y]"},
        {"corners", QJsonArray{QJsonObject{{"x", 0}, {"y", 0}}}, "corners[0]：应为点 [x, y]"},
        {"edges", QJsonArray{0, "0"}, "edges[1]：应为数字"},
        {"source", "屏幕 1", "source：应为对象"},
        {"meshRows", 2.5, "meshRows：应为 64 位以内的整数，实为 2.5"},
        {"meshHandles", QJsonObject{{"4", QJsonObject{{"left", QJsonArray{1}}}}},
         R"(meshHandles["4"].left：应为点 [x, y])"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeError(showWithMapping(with(defaults, c.key, c.value))), kMappingPlace + c.error) << c.key;
}

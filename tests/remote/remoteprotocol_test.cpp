#include "remoterequest.h"
#include "remotestatus.h"

#include <gtest/gtest.h>

static const QString kCueText = QStringLiteral("0b5a3c1e-7d2f-4e6a-9c8b-1a2b3c4d5e6f");

struct DecodeCase
{
    const char* json;
    bool valid;
};

TEST(RemoteRequestDecoding, AcceptsOnlyObjectsWithExactTypes)
{
    const DecodeCase cases[] = {
        {R"({"code":"12345678","action":"status"})", true},
        {"  {\"code\" : \"1\",\r\n \"action\":\"go\"}\r", true},
        {R"({"code":"1","action":"go","extra":[1,2],"value":null,"cue":null,"deviceName":null,"playbackMode":null})",
         true},
        {R"({"code":"1","action":"play","cue":"0B5A3C1E-7D2F-4E6A-9C8B-1A2B3C4D5E6F"})", true},
        {R"({"code":"1","action":"go","playbackMode":"loop"})", true},
        {R"([{"code":"1","action":"go"}])", false},
        {R"("go")", false},
        {R"({"code":"1","action":"go"} x)", false},
        {R"({"code":"1"})", false},
        {R"({"action":"go"})", false},
        {R"({"code":null,"action":"go"})", false},
        {R"({"code":12345678,"action":"go"})", false},
        {R"({"code":"1","Action":"go"})", false},
        {R"({"code":"1","action":"Go"})", false},
        {R"({"code":"1","action":"next"})", false},
        {R"({"code":"1","action":"go","playbackMode":"repeat"})", false},
        {R"({"code":"1","action":"go","playbackMode":"ONCE"})", false},
        {R"({"code":"1","action":"mute","value":1})", false},
        {R"({"code":"1","action":"mute","value":"true"})", false},
        {R"({"code":"1","action":"pair","deviceName":7})", false},
        {R"({"code":"1","action":"play","cue":"{0b5a3c1e-7d2f-4e6a-9c8b-1a2b3c4d5e6f}"})", false},
        {R"({"code":"1","action":"play","cue":"0b5a3c1e7d2f4e6a9c8b1a2b3c4d5e6f"})", false},
        {R"({"code":"1","action":"play","cue":"0b5a3c1e-7d2f-4e6a-9c8b-1a2b3c4d5e6g"})", false},
        {R"({"code":"1","action":"play","cue":7})", false},
        {"{\"code\":\"\xff\",\"action\":\"go\"}", false},
        {"", false},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(RemoteRequest::decode(QByteArray(c.json)).has_value(), c.valid) << c.json;
}

TEST(RemoteRequestDecoding, ReadsEveryField)
{
    const auto request = RemoteRequest::decode(
        QStringLiteral(R"({"code":"device","action":"play","cue":"%1","value":false,"deviceName":"舞台手机",)"
                       R"("playbackMode":"once"})")
            .arg(kCueText)
            .toUtf8());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->code, QStringLiteral("device"));
    EXPECT_EQ(request->action, RemoteAction::play);
    EXPECT_EQ(request->cue, QUuid::fromString(kCueText));
    EXPECT_EQ(request->value, false);
    EXPECT_EQ(request->deviceName, QStringLiteral("舞台手机"));
    EXPECT_EQ(request->playbackMode, RemotePlaybackMode::once);
    EXPECT_EQ(RemoteRequest::decode(request->encode()), request) << "a client writes what the host reads";
}

TEST(RemoteStatusEncoding, CompactRawUtf8WithoutLineFeedsOrNulls)
{
    RemoteStatus status;
    status.cues = {{QUuid::fromString(kCueText), QStringLiteral("开场\n第二行")}};
    status.current = QUuid::fromString(kCueText);
    status.message = QStringLiteral("播出中 · 开场");
    const QByteArray bytes = status.encode();
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains(": ") || bytes.contains(", ") || bytes.contains("{ "));
    EXPECT_FALSE(bytes.contains("null"));
    EXPECT_FALSE(bytes.contains("\"error\"") || bytes.contains("\"pairing\"") || bytes.contains("\"next\""));
    EXPECT_TRUE(bytes.contains(QStringLiteral("开场\\n第二行").toUtf8()));
    EXPECT_TRUE(bytes.contains(kCueText.toUpper().toUtf8()));
    EXPECT_FALSE(bytes.contains(kCueText.toUtf8()));
    EXPECT_EQ(RemoteStatus::decode(bytes), status);
}

TEST(RemoteStatusEncoding, EmptyStatusWritesEveryRequiredKey)
{
    RemoteStatus refused;
    refused.error = QStringLiteral("连接码无效或遥控已关闭");
    EXPECT_EQ(refused.encode(), QStringLiteral(R"({"error":"连接码无效或遥控已关闭","cues":[],"paused":false,)"
                                               R"("blackout":false,"muted":false,"projecting":false,"message":""})")
                                    .toUtf8());
}

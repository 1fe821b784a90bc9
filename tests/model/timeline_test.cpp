#include "cue.h"
#include "mediaasset.h"
#include "timelineevent.h"
#include "timelinelane.h"

#include <QUrl>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

MediaAsset asset(AssetKind kind, std::optional<double> duration = std::nullopt)
{
    MediaAsset made;
    made.url = QUrl::fromLocalFile("/media/a");
    made.kind = kind;
    made.duration = duration;
    return made;
}

TimelineEvent event(Track track, std::optional<ScreenRole> screen = std::nullopt, std::optional<qint64> layer = {})
{
    TimelineEvent made;
    made.track = track;
    made.outputScreen = screen;
    made.layer = layer;
    return made;
}

} // namespace

TEST(ClipDuration, StillsAreClampedVideosNeedAPositiveFiniteLengthSoundHasNone)
{
    TimelineEvent clip = event(Track::main);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::image, 99)), 1.0);
    const std::pair<double, double> stills[] = {{0, 0.01},       {-5, 0.01},     {0.01, 0.01}, {2.5, 2.5},
                                                {100000, 86400}, {86400, 86400}, {NAN, 1.0},   {inf, 1.0}};
    for (const auto& [stored, expected] : stills) {
        clip.imageDuration = stored;
        EXPECT_EQ(clip.clipDuration(asset(AssetKind::image)), expected) << stored;
    }
    const std::pair<MediaAsset, std::optional<double>> others[] = {
        {asset(AssetKind::video, 12.5), 12.5},       {asset(AssetKind::video), std::nullopt},
        {asset(AssetKind::video, 0), std::nullopt},  {asset(AssetKind::video, inf), std::nullopt},
        {asset(AssetKind::audio, 30), std::nullopt},
    };
    for (const auto& [media, expected] : others)
        EXPECT_EQ(clip.clipDuration(media), expected);
}

TEST(TimelineLane, EventsFindTheirLaneByScreenOrTrackAndEffectiveLayer)
{
    EXPECT_EQ(event(Track::side).screen(), kScreen2);
    EXPECT_EQ(event(Track::main).screen(), kScreen1);
    EXPECT_EQ(event(Track::main, kScreen2).screen(), kScreen2);
    EXPECT_EQ(event(Track::music, kScreen2).screen(), std::nullopt);
    EXPECT_EQ(event(Track::message).screen(), std::nullopt);

    const TimelineLane screenLane{Track::main, 1, kScreen2};
    const TimelineLane musicOnScreen{Track::music, 1, kScreen1};
    const TimelineLane effects{Track::effects, 1, std::nullopt};
    const std::tuple<TimelineLane, TimelineEvent, bool> cases[] = {
        {screenLane, event(Track::side), true},
        {screenLane, event(Track::main, kScreen2, 0), true},
        {screenLane, event(Track::main), false},
        {screenLane, event(Track::side, std::nullopt, 2), false},
        {musicOnScreen, event(Track::music), false},
        {musicOnScreen, event(Track::main), true},
        {effects, event(Track::effects, std::nullopt, -3), true},
        {effects, event(Track::music), false},
        {TimelineLane{Track::effects, 2, std::nullopt}, event(Track::effects), false},
    };
    for (const auto& [lane, clip, matches] : cases)
        EXPECT_EQ(lane.matches(clip), matches) << lane.title().toStdString();
    EXPECT_EQ(qHash(screenLane), qHash(TimelineLane{Track::main, 1, kScreen2}));
}

TEST(TimelineLane, Titles)
{
    const std::pair<TimelineLane, const char*> cases[] = {
        {{Track::effects, 1, std::nullopt}, "音效"},
        {{Track::effects, 0, std::nullopt}, "音效"},
        {{Track::effects, 3, std::nullopt}, "音效 · 3"},
        {{Track::music, 1, std::nullopt}, "音频 · 1"},
        {{Track::main, 2, kScreen2}, "屏幕 2 · 2"},
        {{Track::main, 4, std::nullopt}, "主屏"},
        {{Track::side, 1, std::nullopt}, "副屏"},
        {{Track::message, 2, std::nullopt}, "通讯"},
        {{Track::main, 1, ScreenRole{"屏幕 %2"}}, "屏幕 %2 · 1"},
    };
    for (const auto& [lane, title] : cases)
        EXPECT_EQ(lane.title(), QString::fromUtf8(title));
}

TEST(TimelineCue, NeedsAPresentNonEmptyTimeline)
{
    Cue cue;
    EXPECT_FALSE(cue.isTimelineCue());
    cue.timeline = QList<TimelineEvent>{};
    EXPECT_FALSE(cue.isTimelineCue());
    cue.timeline->append(event(Track::main));
    EXPECT_TRUE(cue.isTimelineCue());
}

TEST(AssetKind, FromTheFileNameInTheOrderImageVideoAudioAndTheTracksThatTakeThem)
{
    const std::pair<std::optional<AssetKind>, QStringList> cases[] = {
        {AssetKind::video, {"/m/clip.mov", "/m/clip.MP4", "/m/开场 视频.webm"}},
        {AssetKind::audio, {"/m/song.m4a", "/m/song.wav"}},
        {AssetKind::image, {"/m/photo.heic", "/m/logo.png", "/gone/never/there.jpg"}},
        {std::nullopt, {"/m/a.b/README", "/m/notes.txt", "/m/data.zzqq"}},
    };
    for (const auto& [kind, paths] : cases)
        for (const QString& path : paths)
            EXPECT_EQ(assetKind(QUrl::fromLocalFile(path)), kind) << path.toStdString();

    const std::tuple<Track, AssetKind, bool> accepted[] = {
        {Track::main, AssetKind::image, true},     {Track::side, AssetKind::video, true},
        {Track::main, AssetKind::audio, false},    {Track::music, AssetKind::audio, true},
        {Track::effects, AssetKind::audio, true},  {Track::effects, AssetKind::video, false},
        {Track::message, AssetKind::audio, false},
    };
    for (const auto& [track, kind, accepts] : accepted)
        EXPECT_EQ(::accepts(track, asset(kind)), accepts) << rawValue(track).toStdString();
}

TEST(AssetKind, FilePanelsOfferExactlyTheNamesOfTheirKind)
{
    const std::pair<AssetKind, QStringList> cases[] = {
        {AssetKind::video, {"*.mov", "*.mp4", "*.webm"}},
        {AssetKind::audio, {"*.m4a", "*.wav"}},
        {AssetKind::image, {"*.png", "*.jpg"}},
    };
    for (const auto& [kind, expected] : cases) {
        const QStringList patterns = assetFilePatterns(kind);
        for (const QString& pattern : expected)
            EXPECT_TRUE(patterns.contains(pattern)) << pattern.toStdString();
        for (const QString& pattern : patterns)
            EXPECT_EQ(assetKind(QUrl::fromLocalFile("/m/a" + pattern.mid(1))), kind) << pattern.toStdString();
    }
}

TEST(ProjectionMode, CasesKeepTheirOrderTextAndMeaning)
{
    const std::tuple<ProjectionMode, const char*, bool, bool> cases[] = {
        {ProjectionMode::cueOnce, "单个节目播放一次", false, false},
        {ProjectionMode::cueLoop, "单个节目循环", false, true},
        {ProjectionMode::playlistOnce, "节目单播放一次", true, false},
        {ProjectionMode::playlistLoop, "节目单循环", true, true},
    };
    QList<ProjectionMode> order;
    for (const auto& [mode, text, playlist, loops] : cases) {
        order.append(mode);
        EXPECT_EQ(fromRawValue<ProjectionMode>(QString::fromUtf8(text)), mode);
        EXPECT_EQ(usesPlaylist(mode), playlist) << text;
        EXPECT_EQ(repeats(mode), loops) << text;
    }
    EXPECT_EQ(allCases<ProjectionMode>(), order);
}

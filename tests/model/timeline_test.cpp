#include "mediaasset.h"
#include "timelineevent.h"
#include "timelinelane.h"

#include <QUrl>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

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

TEST(ClipDuration, StillPictureIsClampedAndDefaultsToOneSecond)
{
    TimelineEvent still = event(Track::main);
    const MediaAsset picture = asset(AssetKind::image, 99);
    EXPECT_EQ(still.clipDuration(picture), 1.0);
    for (const auto& [stored, expected] : std::initializer_list<std::pair<double, double>>{
             {0, 0.01}, {-5, 0.01}, {0.01, 0.01}, {2.5, 2.5}, {100000, 86400}, {86400, 86400}}) {
        still.imageDuration = stored;
        EXPECT_EQ(still.clipDuration(picture), expected) << stored;
    }
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        still.imageDuration = bad;
        EXPECT_EQ(still.clipDuration(picture), 1.0);
    }
}

TEST(ClipDuration, VideoNeedsAPositiveFiniteLengthAndSoundHasNone)
{
    const TimelineEvent clip = event(Track::main);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::video, 12.5)), 12.5);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::video)), std::nullopt);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::video, 0)), std::nullopt);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::video, std::numeric_limits<double>::infinity())), std::nullopt);
    EXPECT_EQ(clip.clipDuration(asset(AssetKind::audio, 30)), std::nullopt);
}

TEST(EventScreen, ComesFromTheTrackUnlessStored)
{
    EXPECT_EQ(event(Track::side).screen(), kScreen2);
    EXPECT_EQ(event(Track::main).screen(), kScreen1);
    EXPECT_EQ(event(Track::main, kScreen2).screen(), kScreen2);
    EXPECT_EQ(event(Track::music, kScreen2).screen(), std::nullopt);
    EXPECT_EQ(event(Track::message).screen(), std::nullopt);
}

TEST(TimelineLane, MatchesByScreenOrTrackAndEffectiveLayer)
{
    const TimelineLane screenLane{Track::main, 1, kScreen2};
    EXPECT_TRUE(screenLane.matches(event(Track::side)));
    EXPECT_TRUE(screenLane.matches(event(Track::main, kScreen2, 0)));
    EXPECT_FALSE(screenLane.matches(event(Track::main)));
    EXPECT_FALSE(screenLane.matches(event(Track::side, std::nullopt, 2)));

    const TimelineLane musicOnScreen{Track::music, 1, kScreen1};
    EXPECT_FALSE(musicOnScreen.matches(event(Track::music)));
    EXPECT_TRUE(musicOnScreen.matches(event(Track::main)));

    const TimelineLane effects{Track::effects, 1, std::nullopt};
    EXPECT_TRUE(effects.matches(event(Track::effects, std::nullopt, -3)));
    EXPECT_FALSE(effects.matches(event(Track::music)));
    EXPECT_FALSE((TimelineLane{Track::effects, 2, std::nullopt}.matches(event(Track::effects))));
}

TEST(TimelineLane, Titles)
{
    EXPECT_EQ((TimelineLane{Track::effects, 1, std::nullopt}.title()), "音效");
    EXPECT_EQ((TimelineLane{Track::effects, 0, std::nullopt}.title()), "音效");
    EXPECT_EQ((TimelineLane{Track::effects, 3, std::nullopt}.title()), "音效 · 3");
    EXPECT_EQ((TimelineLane{Track::music, 1, std::nullopt}.title()), "音频 · 1");
    EXPECT_EQ((TimelineLane{Track::main, 2, kScreen2}.title()), "屏幕 2 · 2");
    EXPECT_EQ((TimelineLane{Track::main, 4, std::nullopt}.title()), "主屏");
    EXPECT_EQ((TimelineLane{Track::side, 1, std::nullopt}.title()), "副屏");
    EXPECT_EQ((TimelineLane{Track::message, 2, std::nullopt}.title()), "通讯");
    EXPECT_EQ((TimelineLane{Track::main, 1, ScreenRole{"屏幕 %2"}}.title()), "屏幕 %2 · 1");
}

TEST(TimelineLane, EqualLanesHashAlike)
{
    const TimelineLane a{Track::main, 1, kScreen2};
    EXPECT_EQ(qHash(a), qHash(TimelineLane{Track::main, 1, kScreen2}));
    EXPECT_NE(a, (TimelineLane{Track::main, 1, std::nullopt}));
    EXPECT_NE(a, (TimelineLane{Track::side, 1, kScreen2}));
}

TEST(AssetKind, FromTheFileNameInTheOrderImageVideoAudio)
{
    const std::pair<const char*, std::optional<AssetKind>> cases[] = {
        {"/m/clip.mov", AssetKind::video},  {"/m/clip.MP4", AssetKind::video}, {"/m/song.m4a", AssetKind::audio},
        {"/m/song.wav", AssetKind::audio},  {"/m/photo.heic", AssetKind::image}, {"/m/logo.png", AssetKind::image},
        {"/m/a.b/README", std::nullopt},    {"/m/notes.txt", std::nullopt},      {"/m/data.zzqq", std::nullopt},
        {"/m/开场 视频.webm", AssetKind::video}, {"/gone/never/there.jpg", AssetKind::image},
    };
    for (const auto& [path, kind] : cases)
        EXPECT_EQ(assetKind(QUrl::fromLocalFile(QString::fromUtf8(path))), kind) << path;
}

TEST(AssetKind, TracksAcceptTheirKinds)
{
    EXPECT_TRUE(accepts(Track::main, asset(AssetKind::image)));
    EXPECT_TRUE(accepts(Track::side, asset(AssetKind::video)));
    EXPECT_FALSE(accepts(Track::main, asset(AssetKind::audio)));
    EXPECT_TRUE(accepts(Track::music, asset(AssetKind::audio)));
    EXPECT_TRUE(accepts(Track::effects, asset(AssetKind::audio)));
    EXPECT_FALSE(accepts(Track::effects, asset(AssetKind::video)));
    EXPECT_FALSE(accepts(Track::message, asset(AssetKind::audio)));
}

TEST(Enumerations, RawValuesAreExactAndCasesKeepTheirOrder)
{
    EXPECT_EQ(rawValue(EndBehavior::next), "自动 GO");
    EXPECT_EQ(fromRawValue<EndBehavior>("自动 GO"), EndBehavior::next);
    EXPECT_EQ(fromRawValue<EndBehavior>("自动 go"), std::nullopt);
    EXPECT_EQ(fromRawValue<Transport>("OSC / UDP"), Transport::osc);
    EXPECT_EQ(fromRawValue<Transport>("OSC"), std::nullopt);
    EXPECT_EQ(fromRawValue<Track>("Main"), std::nullopt);
    EXPECT_EQ(allCases<ProjectionMode>(), (QList<ProjectionMode>{ProjectionMode::cueOnce, ProjectionMode::cueLoop,
                                                                 ProjectionMode::playlistOnce,
                                                                 ProjectionMode::playlistLoop}));
    EXPECT_TRUE(usesPlaylist(ProjectionMode::playlistOnce));
    EXPECT_FALSE(usesPlaylist(ProjectionMode::cueLoop));
    EXPECT_TRUE(repeats(ProjectionMode::cueLoop));
    EXPECT_FALSE(repeats(ProjectionMode::playlistOnce));
}

#include "show.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Screens = QList<ScreenRole>;

Show showWith(const Cue& cue)
{
    Show show;
    show.cues = {Cue(), cue};
    return show;
}

Cue cueWithEvent(Track track, std::optional<ScreenRole> screen = std::nullopt)
{
    TimelineEvent event;
    event.track = track;
    event.outputScreen = screen;
    Cue cue;
    cue.timeline = QList<TimelineEvent>{event};
    return cue;
}

} // namespace

TEST(ShowDefaults, ThreeNamedCuesAndFreshRandomIdentities)
{
    const Show show = Show::makeDefault();
    ASSERT_EQ(show.cues.size(), 3);
    EXPECT_EQ(show.cues[0].name, QStringLiteral("暖场"));
    EXPECT_EQ(show.cues[1].name, QStringLiteral("开场"));
    EXPECT_EQ(show.cues[2].name, QStringLiteral("退场"));
    EXPECT_EQ(QSet<QUuid>({show.cues[0].id, show.cues[1].id, show.cues[2].id}).size(), 3);
    EXPECT_EQ(show.screens(), Screens{kScreen1});

    const Cue cue;
    EXPECT_EQ(cue.name, QStringLiteral("新 Cue"));
    EXPECT_FALSE(cue.isTimelineCue());
    EXPECT_EQ(cue.id.version(), QUuid::Random);
    EXPECT_EQ(cue.id.variant(), QUuid::DCE);
    EXPECT_NE(TimelineEvent().id, TimelineEvent().id);
}

TEST(ShowScreens, StoredListWinsUnlessEmptyElseTheCuesDecide)
{
    Show stored = showWith(cueWithEvent(Track::side));
    const Screens three{kScreen1, ScreenRole{QStringLiteral("屏幕 3")}, kScreen2};
    stored.outputScreens = three;
    EXPECT_EQ(stored.screens(), three);
    stored.outputScreens = Screens{};
    EXPECT_EQ(stored.screens(), (Screens{kScreen1, kScreen2}));

    Cue side;
    side.side = QUrl::fromLocalFile("/m/side.png");
    Cue mirror;
    mirror.sideMirrorsMain = true;
    Cue main;
    main.main = QUrl::fromLocalFile("/m/main.mov");
    const std::pair<Cue, qsizetype> cases[] = {
        {side, 2},
        {mirror, 2},
        {cueWithEvent(Track::side), 2},
        {cueWithEvent(Track::main, kScreen2), 2},
        {main, 1},
        {cueWithEvent(Track::main, ScreenRole{QStringLiteral("屏幕 3")}), 1},
        {cueWithEvent(Track::side, kScreen1), 1},
        {cueWithEvent(Track::music, kScreen2), 1},
        {cueWithEvent(Track::effects, kScreen2), 1},
        {cueWithEvent(Track::message, kScreen2), 1},
    };
    for (const auto& [cue, count] : cases)
        EXPECT_EQ(showWith(cue).screens(), (count == 1 ? Screens{kScreen1} : Screens{kScreen1, kScreen2}));
}

TEST(MissingFiles, ListsUnreadableDirectMediaInOrder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString present = dir.filePath(QStringLiteral("在场 clip.mov"));
    QFile file(present);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    const QUrl here = QUrl::fromLocalFile(present);
    const QUrl gone = QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.mov")));
    const QUrl goneAudio = QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.wav")));
    const QUrl goneSide = QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone-side.png")));

    Cue cue;
    EXPECT_TRUE(cue.missingFiles().isEmpty());
    cue.main = gone;
    cue.side = goneSide;
    cue.audio = goneAudio;
    EXPECT_EQ(cue.missingFiles(), (QList<QUrl>{gone, goneSide, goneAudio}));
    cue.sideMirrorsMain = true;
    EXPECT_EQ(cue.missingFiles(), (QList<QUrl>{gone, goneAudio}));
    cue.main = here;
    EXPECT_EQ(cue.missingFiles(), QList<QUrl>{goneAudio});

    ASSERT_TRUE(file.setPermissions(QFileDevice::WriteOwner));
    // Root reads everything; elsewhere the file without read permission counts as missing.
    if (!QFileInfo(present).isReadable()) {
        EXPECT_EQ(cue.missingFiles(), (QList<QUrl>{here, goneAudio}));
    }
}

// Library entries are equal field by field, whether their addresses are copies of one another or were made apart.
TEST(MediaAssetEquality, CopiedOrSeparateAddressesCompareByValue)
{
    const MediaAsset asset{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/show/clip.mp4")), AssetKind::video,
                           12.5};
    const MediaAsset copy = asset;
    EXPECT_EQ(copy, asset);

    MediaAsset apart = asset;
    apart.url = QUrl::fromLocalFile(QStringLiteral("/show/clip.mp4"));
    EXPECT_EQ(apart, asset);

    MediaAsset moved = asset;
    moved.url.setPath(QStringLiteral("/show/other.mp4"));
    EXPECT_NE(moved, asset);
    EXPECT_EQ(copy.url.path(), QStringLiteral("/show/clip.mp4"));

    MediaAsset measured = asset;
    measured.duration = 13.0;
    EXPECT_NE(measured, asset);
    MediaAsset retyped = asset;
    retyped.kind = AssetKind::audio;
    EXPECT_NE(retyped, asset);
    EXPECT_NE(MediaAsset{}, asset);
    EXPECT_EQ(MediaAsset(asset), MediaAsset(copy));
}

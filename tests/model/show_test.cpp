#include "show.h"

#include <QFile>
#include <QFileInfo>
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

TEST(ShowDefaults, HasThreeNamedCuesOnOneScreen)
{
    const Show show = Show::makeDefault();
    ASSERT_EQ(show.cues.size(), 3);
    EXPECT_EQ(show.cues[0].name, QStringLiteral("暖场"));
    EXPECT_EQ(show.cues[1].name, QStringLiteral("开场"));
    EXPECT_EQ(show.cues[2].name, QStringLiteral("退场"));
    EXPECT_NE(show.cues[0].id, show.cues[1].id);
    EXPECT_NE(show.cues[1].id, show.cues[2].id);
    EXPECT_NE(show.cues[0].id, show.cues[2].id);
    EXPECT_EQ(show.artNetHost, QString());
    EXPECT_EQ(show.universe, 0);
    EXPECT_EQ(show.screens(), Screens{kScreen1});
}

TEST(ShowDefaults, NewCueAndFreshIdentities)
{
    const Cue cue;
    EXPECT_EQ(cue.name, QStringLiteral("新 Cue"));
    EXPECT_EQ(cue.audioBus, Bus::music);
    EXPECT_EQ(cue.ending, EndBehavior::hold);
    EXPECT_FALSE(cue.videoMuted || cue.main || cue.lighting || cue.timeline || cue.extraLanes);
    EXPECT_FALSE(cue.isTimelineCue());
    EXPECT_EQ(cue.id.version(), QUuid::Random);
    EXPECT_EQ(cue.id.variant(), QUuid::DCE);
    EXPECT_NE(Cue().id, Cue().id);
    EXPECT_NE(TimelineEvent().id, TimelineEvent().id);
}

TEST(ShowScreens, StoredListWinsUnlessEmpty)
{
    Show show = showWith(cueWithEvent(Track::side));
    const Screens three{kScreen1, ScreenRole{QStringLiteral("屏幕 3")}, kScreen2};
    show.outputScreens = three;
    EXPECT_EQ(show.screens(), three);
    show.outputScreens = Screens{};
    EXPECT_EQ(show.screens(), (Screens{kScreen1, kScreen2}));
    EXPECT_EQ(Show().screens(), Screens{kScreen1});
}

TEST(ShowScreens, SecondScreenIsDerivedFromTheCues)
{
    Cue side;
    side.side = QUrl::fromLocalFile("/m/side.png");
    EXPECT_EQ(showWith(side).screens(), (Screens{kScreen1, kScreen2}));

    Cue mirror;
    mirror.sideMirrorsMain = true;
    EXPECT_EQ(showWith(mirror).screens(), (Screens{kScreen1, kScreen2}));

    EXPECT_EQ(showWith(cueWithEvent(Track::side)).screens(), (Screens{kScreen1, kScreen2}));
    EXPECT_EQ(showWith(cueWithEvent(Track::main, kScreen2)).screens(), (Screens{kScreen1, kScreen2}));
}

TEST(ShowScreens, OtherCuesStayOnOneScreen)
{
    Cue main;
    main.main = QUrl::fromLocalFile("/m/main.mov");
    EXPECT_EQ(showWith(main).screens(), Screens{kScreen1});
    EXPECT_EQ(showWith(cueWithEvent(Track::main, ScreenRole{QStringLiteral("屏幕 3")})).screens(), Screens{kScreen1});
    EXPECT_EQ(showWith(cueWithEvent(Track::side, kScreen1)).screens(), Screens{kScreen1});
    for (const Track track : {Track::music, Track::effects, Track::message})
        EXPECT_EQ(showWith(cueWithEvent(track, kScreen2)).screens(), Screens{kScreen1});
}

TEST(ShowEquality, AbsentDiffersFromEmpty)
{
    Show a;
    Show b;
    EXPECT_EQ(a, b);
    b.outputScreens = Screens{};
    EXPECT_NE(a, b);
    b = a;
    b.displayBindings = QMap<QString, QString>{};
    EXPECT_NE(a, b);

    Cue cue;
    Cue muted = cue;
    muted.videoMuted = false;
    EXPECT_NE(cue, muted);
    Cue emptyTimeline = cue;
    emptyTimeline.timeline = QList<TimelineEvent>{};
    EXPECT_NE(cue, emptyTimeline);
    EXPECT_FALSE(emptyTimeline.isTimelineCue());
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

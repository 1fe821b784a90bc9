#include "timelinefixture.h"

using ClipPlacementRules = TimelineTest;

static const QString kOverlapNote = QStringLiteral("同一轨道的素材不能重叠，请调整位置或层级。");
static const QString kMoveNote = QStringLiteral("无法移到此处，请选择可用轨道和空白区间。");

// Clip A stands at 0 s for 5 s; a 2 s video is placed near it.
TEST_F(ClipPlacementRules, SnapsToNearbyEdgesElseTheGridElseNowhere)
{
    const MediaAsset picture = addImage();
    const MediaAsset video = addVideo(2);
    setEvents({clipOn(picture, 0, screenLane(kScreen1), 5)});
    const TimelineEvent moving = clipOn(video, 0, screenLane(kScreen1));
    struct Case
    {
        double wanted;
        bool bypass;
        bool snap;
        std::optional<double> placed;
    } cases[] = {
        {5.03, false, true, 5},      {3.9, false, true, std::nullopt}, {5.026, true, true, 5.03},
        {5.026, false, false, 5.03}, {-3, true, true, std::nullopt},   {90000, true, true, 86400},
        {5.2, false, true, 5.2},
    };
    for (const Case& c : cases) {
        model->view().setSnapEnabled(c.snap);
        EXPECT_EQ(model->placement().placementTime(c.wanted, moving, screenLane(kScreen1), c.bypass), c.placed)
            << c.wanted;
    }
    // The clip's end snaps too: dropped at 2.97 before a clip at 5, the 2 s video ends against it.
    model->view().setSnapEnabled(true);
    setEvents({clipOn(picture, 5, screenLane(kScreen1), 5)});
    EXPECT_EQ(model->placement().placementTime(2.97, moving, screenLane(kScreen1), false), 3);
    // On an empty lane a time before the start lands at 0.
    EXPECT_EQ(
        model->placement().placementTime(-3, clipOn(video, 0, screenLane(kScreen1, 2)), screenLane(kScreen1, 2), true),
        0);
}

// Candidates at the same distance are tried in the order they were collected: the end of A comes before the
// start of B.
TEST_F(ClipPlacementRules, EqualDistancesKeepTheirOrderOfCollection)
{
    const MediaAsset picture = addImage();
    setEvents({clipOn(picture, 0, screenLane(kScreen1), 4), clipOn(picture, 4.125, screenLane(kScreen1), 1)});
    const TimelineEvent message = TimelineCueEdits::newMessage(0);
    EXPECT_EQ(model->placement().placementTime(4.0625, message, screenLane(kScreen1), false), 4);
}

TEST_F(ClipPlacementRules, TouchingClipsFitAndOverlapsBeyondAMicrosecondDoNot)
{
    const MediaAsset picture = addImage();
    const MediaAsset sound = addAudio();
    const TimelineEvent first = clipOn(picture, 0, screenLane(kScreen1), 5);
    const TimelineEvent unknownLength = clip(sound, 10, Track::music);
    setEvents({first, unknownLength});
    struct Case
    {
        TimelineEvent event;
        bool fits;
    } cases[] = {
        {clipOn(picture, 5, screenLane(kScreen1)), true},
        {clipOn(picture, 5 - 0.0005, screenLane(kScreen1)), false},
        {clipOn(picture, 5 - 0.0000005, screenLane(kScreen1)), true},
        {clipOn(picture, 2, screenLane(kScreen1, 2)), true},
        {clip(sound, 30, Track::music), false},
        {clip(sound, 9, Track::music), false},
        {clip(sound, 9, Track::effects), true},
        {TimelineCueEdits::newMessage(86400), true},
        {TimelineCueEdits::newMessage(86400.001), false},
        {clipOn(picture, -1, screenLane(kScreen1, 3)), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model->cue().canPlace(c.event), c.fits) << c.event.time << " " << int(c.event.track);

    // A picture before the open-ended sound fits once it ends before the sound starts.
    TimelineEvent before = first;
    before.id = QUuid::createUuid();
    before.track = Track::music;
    EXPECT_TRUE(model->cue().canPlace(before));
    before.imageDuration = 10.5;
    EXPECT_FALSE(model->cue().canPlace(before));
    EXPECT_EQ(model->cue().mediaDuration(unknownLength), std::nullopt);
}

TEST_F(ClipPlacementRules, AddPlacesTheSelectedAssetOrSaysWhyNot)
{
    const MediaAsset picture = addImage();
    const MediaAsset video = addVideo(2);
    setEvents({clipOn(picture, 0, screenLane(kScreen1), 5)});
    EXPECT_FALSE(model->placement().addEvent(false));

    model->selection().setAssetID(video.id);
    model->selection().setInsertion(3.9);
    const int steps = undoSteps();
    EXPECT_FALSE(model->placement().addEvent(false));
    EXPECT_EQ(model->view().note(), kOverlapNote);
    EXPECT_EQ(engine->message(), kOverlapNote);
    EXPECT_EQ(undoSteps(), steps);

    model->selection().setInsertion(5.03);
    ASSERT_TRUE(model->placement().addEvent(false));
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(model->view().note(), QString());
    const TimelineEvent added = events().last();
    EXPECT_EQ(added.time, 5);
    EXPECT_EQ(model->selection().insertion(), 5);
    EXPECT_EQ(model->selection().eventID(), added.id);
    EXPECT_EQ(added.layer, 1);
    EXPECT_EQ(added.outputScreen, kScreen1);
    EXPECT_EQ(added.videoMuted, false);
    EXPECT_EQ(added.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(added.port, 9000);

    // A sound does not suit a screen lane.
    model->selection().setAssetID(addAudio().id);
    EXPECT_FALSE(model->placement().canAdd());
}

TEST_F(ClipPlacementRules, MovesLandOnSuitableLanesOrSetTheNote)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset picture = addImage();
    TimelineEvent side = clipOn(picture, 1, {Track::side, 1, std::nullopt});
    edit([&](Show& show) {
        show.cues[0].extraLanes = QList<TimelineLane>{screenLane(kScreen1, 2)};
        show.cues[0].timeline = QList<TimelineEvent>{side};
    });
    // Lanes: 屏幕 1 · 2, 屏幕 1 · 1, 屏幕 2 · 1, music. The pointer is over the first lane; the clip moved 96 points.
    model->placement().dragClip(side, picture, {100, 30}, 96, 48, 800, false);
    ASSERT_TRUE(model->view().movingClip());
    EXPECT_EQ(model->view().movingClip()->lane, screenLane(kScreen1, 2));
    EXPECT_EQ(model->view().movingClip()->time, 3);

    const QPointF refused[] = {{100, 20}, {100, 24 + 32 * 4}, {801, 30}, {-1, 30}, {100, 24 + 32 * 3 + 5}};
    for (QPointF pointer : refused) {
        model->view().setNote({});
        model->placement().dropClip(side, picture, pointer, 96, 48, 800, false);
        EXPECT_EQ(model->view().note(), kMoveNote) << pointer.x() << "," << pointer.y();
        EXPECT_EQ(events(), QList<TimelineEvent>{side});
    }

    const int steps = undoSteps();
    model->placement().dropClip(side, picture, {100, 30}, 96, 48, 800, false);
    EXPECT_EQ(model->view().movingClip(), std::nullopt);
    EXPECT_EQ(undoSteps(), steps + 1);
    const TimelineEvent moved = events().first();
    EXPECT_EQ(moved.track, Track::main);
    EXPECT_EQ(moved.outputScreen, kScreen1);
    EXPECT_EQ(moved.layer, 2);
    EXPECT_EQ(moved.time, 3);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1, 2));
    EXPECT_EQ(model->selection().insertion(), 3);
}

TEST_F(ClipPlacementRules, PictureResizeStopsAtTheNextClipAndAtTheShortestDuration)
{
    const MediaAsset picture = addImage();
    const TimelineEvent resized = clipOn(picture, 10, screenLane(kScreen1));
    const TimelineEvent next = clipOn(picture, 12, screenLane(kScreen1));
    // A clip on another layer is no obstacle.
    const TimelineEvent above = clipOn(picture, 11, screenLane(kScreen1, 2));
    setEvents({resized, next, above});
    struct Case
    {
        double translation;
        double duration;
    } cases[] = {{240, 2}, {-100000, 0.01}, {24, 1.5}, {0.2, 1}};
    for (const Case& c : cases) {
        model->placement().resizePicture(resized, picture, c.translation);
        model->placement().endPictureResize();
        EXPECT_DOUBLE_EQ(*events().first().imageDuration, c.duration) << c.translation;
        setEvents({resized, next, above});
    }

    // A drag moves from the duration at its start, and all its steps undo as one.
    const int steps = undoSteps();
    for (double translation : {24.0, 48.0, 96.0})
        model->placement().resizePicture(resized, picture, translation);
    model->placement().endPictureResize();
    EXPECT_EQ(model->view().resizeStart(), std::nullopt);
    for (double translation : {-24.0, -48.0})
        model->placement().resizePicture(events().first(), picture, translation);
    EXPECT_EQ(model->view().resizeStart(), 2);
    model->placement().endPictureResize();
    EXPECT_DOUBLE_EQ(*events().first().imageDuration, 1);
    EXPECT_EQ(undoSteps(), steps + 2);
    engine->editHistory()->undo();
    EXPECT_DOUBLE_EQ(*events().first().imageDuration, 2);
}

// Less than the shortest picture fits before a neighbour 0.005 s later: the picture gets that room.
TEST_F(ClipPlacementRules, ResizeWithLessRoomThanTheShortestPictureGivesTheRoom)
{
    const MediaAsset picture = addImage();
    const TimelineEvent resized = clipOn(picture, 10, screenLane(kScreen1));
    setEvents({resized, clipOn(picture, 10.005, screenLane(kScreen1))});
    model->placement().resizePicture(resized, picture, -48);
    model->placement().endPictureResize();
    EXPECT_NEAR(*events().first().imageDuration, 0.005, 1e-9);
}

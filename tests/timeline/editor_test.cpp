#include "showlimits.h"
#include "timelinefixture.h"

#include <QSignalSpy>
#include <functional>
#include <limits>

using TimelineEditor = TimelineTest;

static const QString kRangeNote = QStringLiteral("请输入 0 至 86400 秒");

TEST_F(TimelineEditor, EveryEditIsOneUndoStepAndNothingWithoutACue)
{
    const MediaAsset picture = addImage();
    const TimelineEvent placed = clipOn(picture, 0, screenLane(kScreen1));
    edit([&](Show& show) {
        show.cues[0].timeline = QList<TimelineEvent>{placed};
        show.cues[0].extraLanes = QList<TimelineLane>{lane(Track::effects)};
    });
    const Show start = engine->show();
    TimelineEvent later = placed;
    later.time = 7;
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"addLayer", [&] { model->edits().addLayer(Track::music, std::nullopt); }},
        {"deleteLayer", [&] { model->edits().deleteLayer(screenLane(kScreen1)); }},
        {"deleteEvent", [&] { model->edits().deleteEvent(placed.id); }},
        {"updateEvents", [&] { model->edits().updateEvents({}); }},
        {"addEvent",
         [&] {
             model->selection().selectLane(screenLane(kScreen1));
             model->selection().setAssetID(picture.id);
             model->selection().setInsertion(3);
             model->placement().addEvent(false);
         }},
        {"dropAsset", [&] { model->placement().dropAsset(picture.id, screenLane(kScreen1), 480, false); }},
        {"dropClip",
         [&] {
             model->placement().dropClip(placed, picture, {480, 30}, 480, 48, 800, false);
         }},
        {"resizePicture", [&] { model->placement().resizePicture(placed, picture, 48); }},
        {"applyEventEdit", [&] { model->edits().applyEventEdit(0, later); }},
        {"saveMessage", [&] { model->edits().saveMessage(TimelineCueEdits::newMessage(2)); }},
    };
    for (const auto& [name, run] : operations) {
        for (bool withCue : {true, false}) {
            engine->setShow(start);
            engine->setSelected(withCue ? std::optional(start.cues[0].id) : std::nullopt);
            model->placement().endPictureResize();
            const int steps = undoSteps();
            run();
            EXPECT_EQ(undoSteps(), steps + (withCue ? 1 : 0)) << name << (withCue ? "" : " without a cue");
        }
    }
}

TEST_F(TimelineEditor, MenuOffersWhatSuitsThePressPlace)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset openVideo = addVideo(std::nullopt);
    const MediaAsset sound = addAudio();
    const TimelineEvent first = clipOn(openVideo, 10, screenLane(kScreen1));
    const TimelineEvent second = clipOn(openVideo, 10.25, screenLane(kScreen1));
    edit([&](Show& show) {
        show.cues[0].extraLanes = QList<TimelineLane>{lane(Track::music, 2), lane(Track::message)};
        show.cues[0].timeline = QList<TimelineEvent>{first, second, clip(sound, 0, Track::music)};
    });
    // Lanes from the top: 屏幕 1, 屏幕 2, music 1, music 2, message; each 32 high below the 24-point ruler.
    auto titles = [&](QPointF point) {
        QStringList made;
        for (const TimelineMenuItem& item : model->insertionMenu(point))
            made << item.title;
        return made;
    };
    const QStringList add{"添加视频…", "添加图片…", "添加音频…", "添加通讯事件…", "添加媒体层", "添加音频层"};
    const QStringList addOnLane = add + QStringList{"删除轨道"};
    const QStringList onClip{"编辑事件…", "送到预监", "删除事件"};
    struct Case
    {
        QPointF point;
        QStringList titles;
    } cases[] = {
        {{490, 10}, add},
        {{490, 24 + 32 * 5 + 1}, add},
        {{480, 24 + 4}, onClip},
        {{504, 24 + 28}, onClip},
        {{490, 24 + 3.9}, addOnLane},
        {{517, 24 + 16}, addOnLane},
        {{10, 24 + 64 + 16}, QStringList{"编辑事件…", "删除事件"}},
        {{100, 24 + 128 + 16}, addOnLane},
    };
    for (const Case& c : cases)
        EXPECT_EQ(titles(c.point), c.titles) << c.point.x() << "," << c.point.y();

    // Of two clips under the press, the later one in the cue is taken.
    model->insertionMenu({500, 24 + 16}).first().invoke();
    EXPECT_EQ(model->selection().eventID(), second.id);

    // Where the add entries send their files and layers.
    const QString still = MediaFixtures::png({8, 8}, Qt::blue);
    const QString wav = MediaFixtures::file(QStringLiteral("more.wav"), "RIFF");
    QList<AssetKind> asked;
    model->setMediaFileChooser([&](AssetKind kind, std::function<void(const QUrl&)> chosen) {
        asked << kind;
        chosen(QUrl::fromLocalFile(kind == AssetKind::audio ? wav : still));
    });
    auto choose = [&](QPointF point, int item) {
        model->insertionMenu(point)[item].invoke();
        awaitImport();
    };
    choose({240, 24 + 96 + 16}, 2);
    EXPECT_EQ(laneOf(events().last()), lane(Track::music, 2));
    EXPECT_EQ(events().last().time, 5);
    choose({0, 24 + 32 + 16}, 1);
    EXPECT_EQ(laneOf(events().last()), screenLane(kScreen2));
    model->selection().selectLane(screenLane(kScreen1));
    choose({0, 24 + 128 + 16}, 1);
    EXPECT_EQ(laneOf(events().last()), screenLane(kScreen1));
    EXPECT_EQ(asked, (QList<AssetKind>{AssetKind::audio, AssetKind::image, AssetKind::image}));
    choose({300, 24 + 32 + 16}, 4);
    EXPECT_TRUE(model->cue().lanes().contains(screenLane(kScreen2, 2)));
    choose({96, 10}, 3);
    ASSERT_TRUE(model->view().messageDraft());
    EXPECT_EQ(model->view().messageDraft()->time, 2);
    EXPECT_EQ(model->view().messageDraft()->oscAddress, QStringLiteral("/cue"));

    QSignalSpy monitors(model.get(), &TimelineEditorModel::showPreviewRequested);
    choose({490, 24 + 16}, 1);
    EXPECT_EQ(engine->message(), QStringLiteral("正在预监 · clip.mp4"));
    EXPECT_EQ(monitors.count(), 1);
}

TEST_F(TimelineEditor, LanesDrawTheClipsInViewWithinTheDay)
{
    const MediaAsset picture = addImage();
    const MediaAsset openVideo = addVideo(std::nullopt);
    const TimelineEvent open = clipOn(openVideo, 2, screenLane(kScreen1));
    const TimelineEvent last = clipOn(picture, 86400, screenLane(kScreen1));
    TimelineEvent nan = last;
    nan.time = std::numeric_limits<double>::quiet_NaN();
    setEvents({clipOn(picture, -1, screenLane(kScreen1)), open, clipOn(picture, 30, screenLane(kScreen1)), last, nan,
               clipOn(picture, 1.5, screenLane(kScreen1, 2), 0.001)});
    model->view().setScrollTime(1.5);
    auto drawn = [&](const TimelineLane& lane, double width) {
        QList<std::pair<double, double>> spans;
        for (const auto& clip : model->layout().visibleClips(lane, width))
            spans.append({clip.x, clip.width});
        return spans;
    };
    EXPECT_EQ(drawn(screenLane(kScreen1), 480), (QList<std::pair<double, double>>{{24, 24}}));
    EXPECT_EQ(drawn(screenLane(kScreen1, 2), 480), (QList<std::pair<double, double>>{{0, 1}}));
    model->view().setScrollTime(86400);
    EXPECT_EQ(drawn(screenLane(kScreen1), 480), (QList<std::pair<double, double>>{{0, 48}}));
    EXPECT_EQ(model->layout().visibleClips(screenLane(kScreen1), 480).first().asset, picture);
}

TEST_F(TimelineEditor, PressOnALaneSelectsItMovesTheInsertionAndScrubsOnce)
{
    setScreens({kScreen1, kScreen2});
    QSignalSpy monitors(model.get(), &TimelineEditorModel::showPreviewRequested);
    QSignalSpy scrubs(&model->view(), &TimelineViewState::scrubRequestChanged);
    model->selection().setEventID(QUuid::createUuid());
    model->positionPointer(screenLane(kScreen2), 100);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen2));
    EXPECT_EQ(model->selection().insertion(), 2.08);
    EXPECT_EQ(model->selection().eventID(), std::nullopt);
    EXPECT_EQ(monitors.count(), 1);
    EXPECT_EQ(scrubs.count(), 1);
    EXPECT_EQ(model->view().scrubRequest(), (TimelineViewState::ScrubRequest{cue(0).id, 2.08}));

    model->positionPointer(std::nullopt, 48);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen2));
    EXPECT_EQ(model->selection().insertion(), 1);
}

TEST_F(TimelineEditor, DropsCheckTheLaneKindAndMayBypassSnapping)
{
    const MediaAsset video = addVideo(2);
    const MediaAsset picture = addImage();
    setEvents({clipOn(picture, 0, screenLane(kScreen1), 5), clipOn(picture, 0, screenLane(kScreen1, 2), 5)});
    EXPECT_FALSE(model->placement().dropAsset(video.id, lane(Track::music), 240, false));
    EXPECT_EQ(model->view().note(), QStringLiteral("视频无法放入音频 · 1轨道"));
    EXPECT_EQ(events().size(), 2);
    EXPECT_FALSE(model->placement().dropAsset(QUuid::createUuid(), screenLane(kScreen1), 240, false));

    EXPECT_TRUE(model->placement().dropAsset(video.id, screenLane(kScreen1), 241, true));
    EXPECT_EQ(events().last().time, 5.02);
    EXPECT_TRUE(model->placement().dropAsset(video.id, screenLane(kScreen1, 2), 241, false));
    EXPECT_EQ(events().last().time, 5);

    model->view().setLaneTargeted(lane(Track::message), true);
    EXPECT_EQ(model->view().targetedLane(), std::nullopt);
    model->view().setLaneTargeted(lane(Track::music), true);
    model->view().setLaneTargeted(screenLane(kScreen1), false);
    EXPECT_EQ(model->view().targetedLane(), lane(Track::music));
    model->view().setLaneTargeted(lane(Track::music), false);
    EXPECT_EQ(model->view().targetedLane(), std::nullopt);
}

TEST_F(TimelineEditor, ChoosingAnEventSelectsItsLaneAndTime)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset picture = addImage();
    TimelineEvent side = clipOn(picture, 4, {Track::side, 3, kScreen2});
    TimelineEvent early = TimelineCueEdits::newMessage(4);
    TimelineEvent stray = clipOn(picture, 90000, screenLane(kScreen1));
    setEvents({side, stray, early});
    EXPECT_EQ(model->cue().pickerEvents(), (QList<TimelineEvent>{side, early, stray}));
    EXPECT_EQ(model->cue().pickerText(side), QStringLiteral("4 秒 · 屏幕 2 · ") + picture.url.fileName());
    EXPECT_EQ(model->cue().pickerText(early), QStringLiteral("4 秒 · 通讯 · UDP"));

    model->selection().setEventID(side.id);
    EXPECT_EQ(model->selection().track(), Track::main);
    EXPECT_EQ(model->selection().selectedScreen(), kScreen2);
    EXPECT_EQ(model->selection().layer(), 3);
    EXPECT_EQ(model->selection().insertion(), 4);
    model->selection().setEventID(stray.id);
    EXPECT_EQ(model->selection().selectedScreen(), kScreen2);
    EXPECT_EQ(model->selection().insertion(), 4);
    model->selection().setEventID(std::nullopt);
    EXPECT_EQ(model->selection().layer(), 3);
}

TEST_F(TimelineEditor, NavigationReachesPastTheContent)
{
    const MediaAsset picture = addImage();
    const MediaAsset video = addVideo(1000);
    struct Case
    {
        QList<TimelineEvent> events;
        double insertion;
        double scroll;
        double limit;
    } cases[] = {
        {{}, 60, 0, 60},
        {{clipOn(picture, 10, screenLane(kScreen1), 5), TimelineCueEdits::newMessage(100)}, 30, 0, 100},
        {{clipOn(video, 86000, screenLane(kScreen1))}, 0, 0, 86400},
        {{}, 100000, 0, 86400},
        {{clipOn(picture, -5, screenLane(kScreen1), 500)}, 0, 70, 70},
    };
    for (const Case& c : cases) {
        setEvents(c.events);
        model->selection().setInsertion(c.insertion);
        model->view().setScrollTime(c.scroll);
        EXPECT_EQ(model->layout().navigationLimit(), c.limit) << c.insertion;
    }
}

TEST_F(TimelineEditor, InspectorEditsAreCheckedForRangeAndOverlap)
{
    const MediaAsset picture = addImage();
    const MediaAsset video = addVideo(5);
    const TimelineEvent first = clipOn(picture, 0, screenLane(kScreen1), 5);
    const TimelineEvent second = clipOn(video, 2, screenLane(kScreen1));
    setEvents({first, second});

    struct Case
    {
        std::function<void(TimelineEvent&)> change;
        QString note;
        bool accepted;
    } cases[] = {
        {[](TimelineEvent& e) { e.time = 90000; }, kRangeNote, false},
        {[](TimelineEvent& e) { e.time = 4; }, QStringLiteral("同一轨道的素材不能重叠，请调整时间或层级。"), false},
        {[](TimelineEvent& e) { e.videoMuted = true; }, {}, true},
        {[](TimelineEvent& e) { e.layer = 2; }, {}, true},
        {[](TimelineEvent& e) { e.time = 12.5; }, {}, true},
    };
    for (const Case& c : cases) {
        model->view().setNote({});
        TimelineEvent edited = events()[1];
        c.change(edited);
        EXPECT_EQ(model->edits().applyEventEdit(0, edited), c.accepted) << c.note.toStdString();
        EXPECT_EQ(model->view().note(), c.note);
        EXPECT_EQ(events()[1] == edited, c.accepted);
    }
    EXPECT_EQ(model->selection().insertion(), 12.5);
    EXPECT_FALSE(model->edits().applyEventEdit(1, events()[1]));

    EXPECT_EQ(TimelineCueEdits::typedPictureDuration(0), 0.01);
    EXPECT_EQ(TimelineCueEdits::typedPictureDuration(100000), 86400);
    EXPECT_EQ(TimelineCueEdits::typedPictureDuration(std::numeric_limits<double>::infinity()), std::nullopt);
    TimelineEvent sound = second;
    sound.videoAudio = true;
    EXPECT_FALSE(TimelineCueEdits::videoSoundOff(sound));
    sound.outputScreen = kScreen2;
    EXPECT_TRUE(TimelineCueEdits::videoSoundOff(sound));
    sound.videoMuted = false;
    EXPECT_FALSE(TimelineCueEdits::videoSoundOff(sound));
}

TEST_F(TimelineEditor, MessagesOpenAtTheInsertionAndSaveInPlace)
{
    model->selection().setInsertion(86400);
    model->edits().openNewMessage();
    ASSERT_TRUE(model->view().messageDraft());
    TimelineEvent draft = *model->view().messageDraft();
    EXPECT_EQ(draft.time, 86400);
    draft.payload = QStringLiteral("go");
    model->edits().saveMessage(draft);
    const TimelineEvent other = TimelineCueEdits::newMessage(86400);
    model->edits().saveMessage(other);
    draft.payload = QStringLiteral("again");
    model->edits().saveMessage(draft);
    EXPECT_EQ(events(), (QList<TimelineEvent>{draft, other}));
    EXPECT_EQ(model->selection().selectedLane(), lane(Track::message));
    EXPECT_EQ(model->selection().eventID(), draft.id);
}

// Faults of the add paths: a picture lands only on a lane that takes it, and a time outside the day is explained.
TEST_F(TimelineEditor, AddsBuildTheClipForTheLaneTheyAreCheckedAgainst)
{
    const MediaAsset picture = addImage();
    model->selection().selectLane(lane(Track::effects, 5));
    model->selection().setAssetID(picture.id);
    ASSERT_TRUE(model->placement().addEvent(false));
    EXPECT_EQ(events().last().track, Track::main);
    EXPECT_EQ(laneOf(events().last()), screenLane(kScreen1));

    for (double outside : {-1.0, 90000.0, std::numeric_limits<double>::quiet_NaN()}) {
        model->selection().setInsertion(outside);
        model->view().setNote({});
        EXPECT_FALSE(model->placement().addEvent(false));
        EXPECT_EQ(model->view().note(), kRangeNote);
        model->view().setNote({});
        model->edits().openNewMessage();
        EXPECT_EQ(model->view().note(), kRangeNote);
        EXPECT_EQ(model->view().messageDraft(), std::nullopt);
    }
}

// The same refusal twice reaches the status line twice, also after another text replaced it.
TEST_F(TimelineEditor, EveryRefusalReachesTheStatusLine)
{
    const MediaAsset video = addVideo(2);
    for (int i = 0; i < 2; ++i) {
        engine->setMessage(QStringLiteral("正在预监 · a.mp4"));
        model->placement().dropAsset(video.id, lane(Track::music), 0, false);
        EXPECT_EQ(engine->message(), QStringLiteral("视频无法放入音频 · 1轨道"));
    }
}

// A cue holds as many lanes as a show file may: adding one more is refused, so the show saved still opens.
TEST_F(TimelineEditor, AddingALaneStopsAtTheLimitOfACue)
{
    QList<TimelineLane> extra;
    for (qint64 layer = 2; layer <= kMostLanesPerCue + 1; ++layer)
        extra.append({Track::effects, layer, std::nullopt});
    edit([&](Show& show) { show.cues[0].extraLanes = extra; });
    ASSERT_EQ(laneCount(cue(0)), kMostLanesPerCue);
    const QList<TimelineLane> before = model->cue().lanes();
    model->edits().addLayer(Track::music, std::nullopt);
    EXPECT_EQ(model->cue().lanes(), before);
    EXPECT_EQ(model->view().note(), QStringLiteral("每个节目最多 1000 条轨道"));
}

TEST_F(TimelineEditor, AnotherCueResetsTheEditorButKeepsZoomAndLane)
{
    model->edits().addLayer(Track::effects, std::nullopt);
    model->view().setZoom(100);
    model->view().setScrollTime(30);
    model->selection().setInsertion(12);
    model->view().setNote(QStringLiteral("x"));
    model->edits().openNewMessage();
    model->view().setLayerToDelete(lane(Track::effects));
    engine->setSelected(cue(1).id);
    EXPECT_EQ(model->view().messageDraft(), std::nullopt);
    EXPECT_EQ(model->view().layerToDelete(), std::nullopt);
    EXPECT_EQ(model->selection().insertion(), 0);
    EXPECT_EQ(model->view().scrollTime(), 0);
    EXPECT_EQ(model->view().note(), QString());
    EXPECT_EQ(model->view().zoom(), 100);
    EXPECT_EQ(model->selection().track(), Track::effects);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1));
}

// A request to open an event of another cue waits for that cue; one for an event no cue holds is dropped.
TEST_F(TimelineEditor, FocusRequestsAreServedWhenTheirCueIsEditedAndNeverStick)
{
    const MediaAsset picture = addImage();
    const TimelineEvent elsewhere = clipOn(picture, 30, screenLane(kScreen1, 2));
    edit([&](Show& show) { show.cues[1].timeline = QList<TimelineEvent>{elsewhere}; });

    engine->setFocusEvent(elsewhere.id);
    settle();
    EXPECT_EQ(engine->focusEvent(), elsewhere.id);
    EXPECT_EQ(model->selection().eventID(), std::nullopt);
    engine->setSelected(cue(1).id);
    settle();
    EXPECT_EQ(engine->focusEvent(), std::nullopt);
    EXPECT_EQ(model->selection().eventID(), elsewhere.id);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1, 2));
    EXPECT_EQ(model->view().scrollTime(), 28);

    engine->setFocusEvent(QUuid::createUuid());
    settle();
    EXPECT_EQ(engine->focusEvent(), std::nullopt);
}

TEST_F(TimelineEditor, LiveOnlyWhileTheEditedCueIsOnAir)
{
    EXPECT_FALSE(model->cue().isLive());
    takeCue(1);
    engine->setSelected(cue(0).id);
    EXPECT_FALSE(model->cue().isLive());
    takeCue(0);
    EXPECT_TRUE(model->cue().isLive());
}

#include "timelinefixture.h"

using TimelineLanes = TimelineTest;

TEST_F(TimelineLanes, DefaultExtraHiddenAndEventLanesInDisplayOrder)
{
    setScreens({kScreen1, kScreen2});
    EXPECT_EQ(model->cue().lanes(),
              (QList<TimelineLane>{screenLane(kScreen1), screenLane(kScreen2), lane(Track::music)}));

    const MediaAsset sound = addAudio();
    edit([&](Show& show) {
        show.cues[0].extraLanes = QList<TimelineLane>{screenLane(kScreen1, 2), lane(Track::effects)};
    });
    setEvents({clip(sound, 0, Track::effects, 3)});
    EXPECT_EQ(model->cue().lanes(),
              (QList<TimelineLane>{screenLane(kScreen1, 2), screenLane(kScreen1), screenLane(kScreen2),
                                   lane(Track::music), lane(Track::effects), lane(Track::effects, 3)}));

    // Hidden default lanes come back while listed as extra or while an event lies on them; lanes of a screen the
    // show lacks, and screen lanes without a screen, are never shown.
    TimelineEvent side;
    side.track = Track::side;
    side.layer = -3;
    edit([&](Show& show) {
        show.cues[0].hiddenDefaultLanes =
            QList<TimelineLane>{screenLane(kScreen1), screenLane(kScreen2), lane(Track::music)};
        show.cues[0].extraLanes = QList<TimelineLane>{screenLane(kScreen1), screenLane(kScreen3), lane(Track::main)};
        show.cues[0].timeline = QList<TimelineEvent>{side};
    });
    EXPECT_EQ(laneOf(side), screenLane(kScreen2));
    EXPECT_EQ(model->cue().lanes(), (QList<TimelineLane>{screenLane(kScreen1), screenLane(kScreen2)}));

    engine->setSelected(std::nullopt);
    EXPECT_EQ(model->cue().lanes(),
              (QList<TimelineLane>{screenLane(kScreen1), screenLane(kScreen2), lane(Track::music)}));
    EXPECT_TRUE(model->cue().events().isEmpty());
}

TEST_F(TimelineLanes, SelectedLaneAndScreenFallBackToTheFirst)
{
    setScreens({kScreen1, kScreen2});
    model->selection().selectLane(screenLane(kScreen2));
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen2));
    model->selection().selectLane(screenLane(kScreen3, 4));
    EXPECT_EQ(model->selection().effectiveScreen(), kScreen1);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1));
    model->selection().selectLane(lane(Track::effects, 2));
    EXPECT_EQ(model->selection().selectedScreen(), kScreen3);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1));
}

TEST_F(TimelineLanes, AddLayerGoesAboveTheHighestOfItsKind)
{
    const MediaAsset picture = addImage();
    setEvents({clipOn(picture, 0, screenLane(kScreen1, 3))});
    model->edits().addLayer(Track::main, kScreen1);
    EXPECT_EQ(cue(0).extraLanes, (QList<TimelineLane>{screenLane(kScreen1, 4)}));
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1, 4));
    model->edits().addLayer(Track::effects, std::nullopt);
    EXPECT_EQ(cue(0).extraLanes->last(), lane(Track::effects));
    EXPECT_EQ(model->selection().selectedLane(), lane(Track::effects));
}

TEST_F(TimelineLanes, DeletingALaneTakesItsEventsAndHidesDefaultLanesOnce)
{
    const MediaAsset picture = addImage();
    const TimelineEvent onDefault = clipOn(picture, 0, screenLane(kScreen1));
    const TimelineEvent onExtra = clipOn(picture, 0, screenLane(kScreen1, 2));
    const TimelineEvent music = clip(addAudio(), 0, Track::music);
    edit([&](Show& show) {
        show.cues[0].extraLanes = QList<TimelineLane>{screenLane(kScreen1, 2)};
        show.cues[0].timeline = QList<TimelineEvent>{onDefault, onExtra, music};
    });
    model->edits().editEvent(onDefault);

    model->edits().requestLayerDeletion(screenLane(kScreen1));
    EXPECT_EQ(model->view().layerToDelete(), screenLane(kScreen1));
    EXPECT_EQ(events().size(), 3);
    model->edits().deleteLayer(screenLane(kScreen1));
    model->edits().deleteLayer(screenLane(kScreen1));
    EXPECT_EQ(events(), (QList<TimelineEvent>{onExtra, music}));
    EXPECT_EQ(cue(0).hiddenDefaultLanes, (QList<TimelineLane>{screenLane(kScreen1)}));
    EXPECT_EQ(model->selection().eventID(), std::nullopt);
    EXPECT_EQ(model->selection().selectedLane(), screenLane(kScreen1, 2));

    model->edits().deleteLayer(screenLane(kScreen1, 2));
    EXPECT_EQ(events(), (QList<TimelineEvent>{music}));
    EXPECT_EQ(cue(0).extraLanes, QList<TimelineLane>{});
    EXPECT_EQ(cue(0).hiddenDefaultLanes->size(), 1);

    // An empty lane goes without asking; an effects lane of layer 1 is never recorded as hidden.
    model->edits().addLayer(Track::effects, std::nullopt);
    model->edits().requestLayerDeletion(lane(Track::effects));
    EXPECT_EQ(model->cue().lanes(), (QList<TimelineLane>{lane(Track::music)}));
    EXPECT_EQ(cue(0).hiddenDefaultLanes->size(), 1);
}

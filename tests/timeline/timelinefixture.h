#pragma once

#include "enginefixture.h"
#include "timelineeditormodel.h"
#include "timelinelanes.h"

#include <QCoreApplication>
#include <memory>

// The editor model on a real engine whose first cue is selected, with snapping on.
class TimelineTest : public EngineTest
{
  protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        model = std::make_unique<TimelineEditorModel>(engine.get());
    }

    static TimelineLane screenLane(const ScreenRole& screen, qint64 layer = 1) { return {Track::main, layer, screen}; }
    static TimelineLane lane(Track track, qint64 layer = 1) { return {track, layer, std::nullopt}; }

    // A clip of the asset at a time on a lane, as the editor stores it.
    static TimelineEvent clipOn(const MediaAsset& asset, double time, const TimelineLane& lane,
                                std::optional<double> imageDuration = std::nullopt)
    {
        TimelineEvent event = clip(asset, time, lane.track, lane.layer);
        event.outputScreen = lane.screen;
        event.imageDuration = imageDuration;
        return event;
    }
    void setEvents(const QList<TimelineEvent>& events) { setTimeline(0, events); }
    QList<TimelineEvent> events() const { return cue(0).timeline.value_or(QList<TimelineEvent>{}); }
    // An import waits for the disk's answers about its files; the test waits for them too.
    void awaitImport()
    {
        waitUntil([&] { return !model->library().importing(); });
    }
    int undoSteps() const { return engine->editHistory()->count(); }
    void settle() { QCoreApplication::processEvents(); }

    MediaAsset addImage() { return addAsset(stillFile(Qt::red), AssetKind::image); }
    MediaAsset addVideo(std::optional<double> seconds)
    {
        return addAsset(videoFile(QStringLiteral("clip.mp4")), AssetKind::video, seconds);
    }
    MediaAsset addAudio(std::optional<double> seconds = std::nullopt)
    {
        return addAsset(audioFile(QStringLiteral("sound.wav")), AssetKind::audio, seconds);
    }

    std::unique_ptr<TimelineEditorModel> model;
};

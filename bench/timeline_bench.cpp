// Figures for the timeline editor on a busy cue (5,000 clips over 40 lanes): the work behind every redraw and every
// movement of a drag, which must stay well inside one frame.
#include "benchtools.h"
#include "engine.h"
#include "timelineeditormodel.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

static void report(const char* what, const std::function<void(int)>& run)
{
    BenchTools::reportTimings(what, run, 500, 1);
}

// Four screens with six layers each, and six music, six effects and four message layers: 40 lanes, 125 clips on
// each, 2 s long and 3 s apart.
static Show busyShow()
{
    Show show = Show::makeDefault();
    const QList<ScreenRole> screens{kScreen1, kScreen2, {QStringLiteral("屏幕 3")}, {QStringLiteral("屏幕 4")}};
    show.outputScreens = screens;
    MediaAsset picture{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/a.png")), AssetKind::image, {}};
    MediaAsset video{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/b.mp4")), AssetKind::video, 2.0};
    MediaAsset sound{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/c.wav")), AssetKind::audio, 2.0};
    show.assets = QList<MediaAsset>{picture, video, sound};

    QList<TimelineLane> lanes;
    for (const ScreenRole& screen : screens)
        for (qint64 layer = 1; layer <= 6; ++layer)
            lanes.append({Track::main, layer, screen});
    for (qint64 layer = 1; layer <= 6; ++layer) {
        lanes.append({Track::music, layer, std::nullopt});
        lanes.append({Track::effects, layer, std::nullopt});
    }
    for (qint64 layer = 1; layer <= 4; ++layer)
        lanes.append({Track::message, layer, std::nullopt});

    QList<TimelineEvent> events;
    for (int k = 0; k < 125; ++k)
        for (int l = 0; l < lanes.size(); ++l) {
            const TimelineLane& lane = lanes[l];
            TimelineEvent event = lane.track == Track::message ? TimelineCueEdits::newMessage(0) : TimelineEvent{};
            event.time = k * 3.0 + (l % 3) * 0.5;
            event.track = lane.track;
            event.layer = lane.layer;
            if (lane.screen) {
                event.outputScreen = lane.screen;
                event.assetID = (k % 2 ? video : picture).id;
                event.imageDuration = 2;
            } else if (lane.track != Track::message) {
                event.assetID = sound.id;
            }
            events.append(event);
        }
    show.cues[0].timeline = events;
    return show;
}

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    const std::unique_ptr<Engine> made = BenchTools::makeEngine(folder, true);
    Engine& engine = *made;
    engine.setShow(busyShow());
    engine.setSelected(engine.show().cues[0].id);
    TimelineEditorModel model(&engine);
    const QList<TimelineEvent> events = model.cue().events();
    const QList<TimelineLane> lanes = model.cue().lanes();
    std::printf("cue with %lld events on %lld lanes\n", qlonglong(events.size()), qlonglong(lanes.size()));

    report("lanes of the cue", [&](int) { model.cue().lanes(); });

    // A picture dragged along the busiest stretch of the first lane, snapping to its neighbours.
    const TimelineEvent dragged = events[0];
    const MediaAsset picture = engine.show().assets->first();
    report("one drag step: where the clip would land", [&](int i) {
        const double translation = 48.0 * (i % 300);
        model.placement().dragClip(dragged, picture, {100 + translation, 30}, translation, 96, 1e6, false);
    });
    report("placement time with snapping",
           [&](int i) { model.placement().placementTime(150 + i * 0.37, dragged, lanes[0], false); });
    report("hit test of a press on a clip", [&](int i) {
        model.layout().eventAt({48.0 * 3 * (i % 125) + 10, 24 + 32.0 * (i % 40) + 16});
    });
    report("hit test of a press on an empty place", [&](int i) {
        model.layout().eventAt({48.0 * 3 * (i % 125) + 140, 24 + 32.0 * (i % 40) + 16});
    });
    return 0;
}

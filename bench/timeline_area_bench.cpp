// Figures for the timeline viewport with 2,000 clips in view (40 lanes of 50 clips): a full repaint, and the way
// from one mouse movement of a clip drag to the repainted viewport. Goal: under 4 ms each.
#include "benchtools.h"
#include "engine.h"
#include "timelineeditormodel.h"
#include "timelineviewport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

static void report(const char* what, const std::function<void(int)>& run)
{
    BenchTools::reportTimings(what, run, 300, 4);
}

// Four screens with six layers each and sixteen music and effects lanes, each holding 50 clips of 0.5 s, 0.66 s
// apart: at 48 points per second all 2,000 lie within a 1,600-point viewport.
static Show crowdedShow()
{
    Show show = Show::makeDefault();
    const QList<ScreenRole> screens{kScreen1, kScreen2, {QStringLiteral("屏幕 3")}, {QStringLiteral("屏幕 4")}};
    show.outputScreens = screens;
    MediaAsset picture{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/a.png")), AssetKind::image, {}};
    MediaAsset sound{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/c.wav")), AssetKind::audio, 0.5};
    show.assets = QList<MediaAsset>{picture, sound};
    QList<TimelineLane> lanes;
    for (const ScreenRole& screen : screens)
        for (qint64 layer = 1; layer <= 6; ++layer)
            lanes.append({Track::main, layer, screen});
    for (qint64 layer = 1; layer <= 8; ++layer) {
        lanes.append({Track::music, layer, std::nullopt});
        lanes.append({Track::effects, layer, std::nullopt});
    }
    QList<TimelineEvent> events;
    for (const TimelineLane& lane : lanes)
        for (int k = 0; k < 50; ++k) {
            TimelineEvent event;
            event.time = k * 0.66;
            event.track = lane.track;
            event.layer = lane.layer;
            event.outputScreen = lane.screen;
            event.assetID = lane.screen ? picture.id : sound.id;
            event.imageDuration = lane.screen ? std::optional(0.5) : std::nullopt;
            events.append(event);
        }
    show.cues[0].timeline = events;
    return show;
}

int main(int argc, char** argv)
{
    BenchTools::runHeadless();
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const std::unique_ptr<Engine> made = BenchTools::makeEngine(folder, true);
    Engine& engine = *made;
    engine.setShow(crowdedShow());
    engine.setSelected(engine.show().cues[0].id);
    TimelineEditorModel model(&engine);
    TimelineViewport viewport(model, engine);
    viewport.resize(1600, viewport.sizeHint().height());
    viewport.show();
    QApplication::processEvents();
    qsizetype visible = 0;
    for (const TimelineLane& lane : model.cue().lanes())
        visible += model.layout().visibleClips(lane, viewport.width()).size();
    std::printf("%lld clips in view on %lld lanes\n", qlonglong(visible), qlonglong(model.cue().lanes().size()));

    report("clips of every lane", [&](int) {
        for (const TimelineLane& lane : model.cue().lanes())
            model.layout().visibleClips(lane, viewport.width());
    });
    report("full repaint of the viewport", [&](int) { viewport.repaint(); });

    // A picture of the first lane dragged along it: each movement reaches the model and the viewport repaints.
    const QPointF start(4, 24 + 16);
    QMouseEvent press(QEvent::MouseButtonPress, start, viewport.mapToGlobal(start), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&viewport, &press);
    report("drag movement to repainted viewport", [&](int i) {
        const QPointF at = start + QPointF(8 + (i % 600), 32.0 * (i % 3));
        QMouseEvent move(QEvent::MouseMove, at, viewport.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&viewport, &move);
        viewport.repaint();
    });
    QMouseEvent release(QEvent::MouseButtonRelease, start, viewport.mapToGlobal(start), Qt::LeftButton, Qt::NoButton,
                        {});
    QApplication::sendEvent(&viewport, &release);
    return 0;
}

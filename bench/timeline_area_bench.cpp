// Figures for the timeline viewport with 2,000 clips in view (40 lanes of 50 clips): a full repaint, and the way
// from one mouse movement of a clip drag to the repainted viewport. Goal: under 4 ms each. Then the editor on a cue
// at the limits of a show (as many screens and lanes as a show may hold): one wheel step over the timeline to the
// repainted editor, within a frame of 16 ms.
#include "benchtools.h"
#include "engine.h"
#include "showlimits.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"
#include "timelineviewport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
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

// As many screens as a show may hold, and a first cue with as many lanes as a cue may hold besides their default
// lanes, each with a picture clip every 2 s for a minute.
static Show showAtTheLimits()
{
    Show show = Show::makeDefault();
    QList<ScreenRole> screens;
    for (qsizetype i = 1; i <= kMostScreens; ++i)
        screens.append({QStringLiteral("屏幕 %1").arg(i)});
    show.outputScreens = screens;
    MediaAsset picture{QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/srv/a.png")), AssetKind::image, {}};
    show.assets = QList<MediaAsset>{picture};
    QList<TimelineEvent> events;
    for (qsizetype lane = 0; lane < kMostLanesPerCue; ++lane)
        for (int k = 0; k < 30; ++k) {
            TimelineEvent event;
            event.time = k * 2.0;
            event.track = Track::main;
            event.outputScreen = screens[lane % screens.size()];
            event.layer = 2 + lane / screens.size();
            event.assetID = picture.id;
            event.imageDuration = 1.5;
            events.append(event);
        }
    show.cues[0].timeline = events;
    return show;
}

// The whole editor as the console shows it, the timeline scrolled to its middle: each wheel step zooms about the
// pointer and the editor repaints before the next turn of the event loop.
static void wheelAtTheLimits()
{
    QTemporaryDir folder;
    const std::unique_ptr<Engine> made = BenchTools::makeEngine(folder, true);
    Engine& engine = *made;
    engine.setShow(showAtTheLimits());
    engine.setSelected(engine.show().cues[0].id);
    // The editor takes the two panels into its own layout, and with them their ownership.
    TimelineEditor editor(engine, new QWidget, new QWidget, [] {});
    editor.resize(1600, 900);
    editor.show();
    QApplication::processEvents();
    auto* viewport = editor.findChild<TimelineViewport*>();
    editor.timelineScroll()->verticalScrollBar()->setValue(editor.timelineScroll()->verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    std::printf("editor on %lld events over %lld lanes\n", qlonglong(editor.model().cue().events().size()),
                qlonglong(editor.model().cue().lanes().size()));
    const QPoint at = viewport->mapFrom(editor.timelineScroll()->viewport(), QPoint(400, 60));
    BenchTools::reportTimings(
        "wheel step over the timeline to repainted editor",
        [&](int i) {
            const int notch = (i / 20) % 2 ? -120 : 120;
            QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, notch), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &wheel);
            QApplication::processEvents();
        },
        200, 16);
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
    wheelAtTheLimits();
    return 0;
}

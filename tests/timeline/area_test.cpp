#include "consolecolors.h"
#include "timelinearea.h"
#include "timelineassetdrag.h"
#include "timelineclipview.h"
#include "timelineclock.h"
#include "timelineclocklabel.h"
#include "timelinefixture.h"
#include "timelineviewport.h"

#include "timelinelaneheader.h"
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolButton>

using namespace TimelineGeometry;

// The area on the editor model, 870 points wide (an 800-point viewport), with mouse events sent as Qt delivers them.
class TimelineAreaTest : public TimelineTest
{
  protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        area = std::make_unique<TimelineArea>(*model, *engine);
        // The console window's surface, so that the shots look as the operator sees them.
        area->setAutoFillBackground(true);
        QPalette dark = area->palette();
        dark.setColor(QPalette::Window, ConsoleColors::windowBackground());
        area->setPalette(dark);
        area->resize(870, 400);
        area->show();
        settle();
    }
    void TearDown() override
    {
        area.reset();
        TimelineTest::TearDown();
    }

    TimelineViewport* viewport() const { return area->viewport(); }
    QPointF onLane(const TimelineLane& lane, double x) const
    {
        return {x, laneTop(int(model->cue().lanes().indexOf(lane))) + kLaneHeight / 2};
    }
    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                      : type == QEvent::MouseMove        ? m_held
                                                                         : Qt::MouseButtons(button);
        m_held = held;
        QMouseEvent event(type, at, viewport()->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                          held, modifiers);
        QApplication::sendEvent(viewport(), &event);
    }
    // Press, moves through the points, release at the last one.
    void gesture(Qt::MouseButton button, const QList<QPointF>& points, Qt::KeyboardModifiers modifiers = {})
    {
        mouse(QEvent::MouseButtonPress, points.first(), button, modifiers);
        for (const QPointF& point : points.mid(1))
            mouse(QEvent::MouseMove, point, button, modifiers);
        mouse(QEvent::MouseButtonRelease, points.last(), button, modifiers);
        settle();
    }
    void wheel(QPoint angle, double x, Qt::KeyboardModifiers modifiers = {})
    {
        QWheelEvent event({x, 10}, viewport()->mapToGlobal(QPointF(x, 10)), {}, angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport(), &event);
    }
    QStringList openMenu() const
    {
        QStringList titles;
        if (QMenu* menu = viewport()->findChild<QMenu*>())
            for (QAction* action : menu->actions())
                titles << action->text();
        return titles;
    }
    void closeMenus()
    {
        for (QMenu* menu : viewport()->findChildren<QMenu*>())
            delete menu;
    }
    // A drag that enters the viewport, moves to the point and drops there.
    bool drop(QMimeData* data, QPointF at, Qt::KeyboardModifiers modifiers = {})
    {
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport(), &enter);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport(), &move);
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport(), &drop);
        delete data;
        settle();
        return enter.isAccepted() && drop.isAccepted();
    }
    QImage grabArea() const { return area->grab().toImage(); }

    std::unique_ptr<TimelineArea> area;
    Qt::MouseButtons m_held;
};

TEST_F(TimelineAreaTest, LeftPressOnALaneScrubsOnceAndSelectsIt)
{
    const TimelineLane music = lane(Track::music);
    QSignalSpy scrubs(&model->view(), &TimelineViewState::scrubRequestChanged);
    QSignalSpy previews(model.get(), &TimelineEditorModel::showPreviewRequested);
    mouse(QEvent::MouseButtonPress, onLane(music, 100), Qt::LeftButton);
    EXPECT_EQ(scrubs.count(), 1);
    EXPECT_EQ(previews.count(), 1);
    EXPECT_EQ(model->selection().track(), Track::music);
    EXPECT_DOUBLE_EQ(model->selection().insertion(), 2.08);
    ASSERT_TRUE(model->view().scrubRequest());
    EXPECT_EQ(model->view().scrubRequest()->time, 2.08);
    mouse(QEvent::MouseButtonRelease, onLane(music, 100), Qt::LeftButton);

    // The ruler scrubs too, leaving the lane as it was, and follows a drag.
    gesture(Qt::LeftButton, {{240, 10}, {480, 10}});
    EXPECT_EQ(scrubs.count(), 3);
    EXPECT_EQ(model->selection().track(), Track::music);
    EXPECT_DOUBLE_EQ(model->selection().insertion(), 10);
}

TEST_F(TimelineAreaTest, ClipsAreSelectedMovedAndResizedWithTheMouse)
{
    const MediaAsset picture = addImage();
    const TimelineLane screen = screenLane(kScreen1);
    TimelineEvent placed = clipOn(picture, 10, screen, 2);
    TimelineEvent message = TimelineCueEdits::newMessage(14);
    setEvents({placed, message});
    settle();
    const QPointF middle = onLane(screen, 480 + 48);

    // A press moved by 3 points is still a click: it selects the clip and nothing moves.
    model->selection().selectLane(lane(Track::music));
    gesture(Qt::LeftButton, {middle, middle + QPointF(3, 0)});
    EXPECT_EQ(model->selection().eventID(), placed.id);
    EXPECT_EQ(model->selection().selectedLane(), screen);
    EXPECT_EQ(events()[0].time, 10);

    // Dragged a second to the right (48 points), with the ghost shown on the way.
    mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton);
    mouse(QEvent::MouseMove, middle + QPointF(48, 0), Qt::LeftButton, Qt::AltModifier);
    ASSERT_TRUE(model->view().movingClip());
    EXPECT_DOUBLE_EQ(model->view().movingClip()->time, 11);
    mouse(QEvent::MouseButtonRelease, middle + QPointF(48, 0), Qt::LeftButton, Qt::AltModifier);
    EXPECT_FALSE(model->view().movingClip());
    EXPECT_DOUBLE_EQ(events()[0].time, 11);

    // The handle on the picture's right edge (now ending at 13 s = 624 points) lengthens it by a second.
    const int steps = undoSteps();
    gesture(Qt::LeftButton, {onLane(screen, 622), onLane(screen, 646), onLane(screen, 670)});
    EXPECT_DOUBLE_EQ(*events()[0].imageDuration, 3);
    EXPECT_EQ(undoSteps(), steps + 1);

    // A communication event does not move; a click opens it.
    const QPointF onMessage = onLane(lane(Track::message), 14 * 48 + 12);
    gesture(Qt::LeftButton, {onMessage, onMessage - QPointF(100, 0)});
    EXPECT_EQ(events()[1].time, 14);
    EXPECT_FALSE(model->view().messageDraft());
    gesture(Qt::LeftButton, {onMessage});
    ASSERT_TRUE(model->view().messageDraft());
    EXPECT_EQ(model->view().messageDraft()->id, message.id);
}

TEST_F(TimelineAreaTest, RightClickOpensTheMenuAndRightDragPans)
{
    model->view().setScrollTime(100);
    struct Case
    {
        const char* name;
        QList<QPointF> points;
        bool menu;
        double scrollTime;
    };
    const Case cases[] = {
        {"click", {{200, 10}}, true, 100},
        {"moved 3 points", {{200, 10}, {203, 10}}, true, 100},
        {"dragged right", {{200, 10}, {248, 10}, {296, 10}}, false, 98},
        {"dragged down only", {{200, 10}, {200, 40}}, false, 100},
    };
    for (const Case& c : cases) {
        model->view().setScrollTime(100);
        gesture(Qt::RightButton, c.points);
        EXPECT_EQ(!openMenu().isEmpty(), c.menu) << c.name;
        EXPECT_DOUBLE_EQ(model->view().scrollTime(), c.scrollTime) << c.name;
        closeMenus();
    }
    gesture(Qt::RightButton, {onLane(lane(Track::music), 200)});
    EXPECT_EQ(openMenu().last(), QStringLiteral("删除轨道"));
    closeMenus();
}

TEST_F(TimelineAreaTest, WheelZoomsAboutThePointerAndPansSideways)
{
    model->view().setScrollTime(10);
    wheel({0, 120}, 240);
    EXPECT_GT(model->view().zoom(), 48);
    EXPECT_NEAR(model->view().scrollTime() + 240 / model->view().zoom(), 15, 1e-9);

    model->view().setZoom(48);
    model->view().setScrollTime(10);
    wheel({0, 120}, 240, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(model->view().zoom(), 48);
    EXPECT_LT(model->view().scrollTime(), 10);
    const double panned = model->view().scrollTime();
    wheel({-240, 120}, 240);
    EXPECT_DOUBLE_EQ(model->view().zoom(), 48);
    EXPECT_GT(model->view().scrollTime(), panned);
}

TEST_F(TimelineAreaTest, DropsTakeOnlyThisProcessesLibraryDragsOnLanesThatSuitThem)
{
    const MediaAsset video = addVideo(4);
    const TimelineLane music = lane(Track::music);
    EXPECT_FALSE(drop(TimelineAssetDrag::mimeData(video.id), onLane(music, 100)));
    EXPECT_EQ(model->view().note(), QStringLiteral("视频无法放入") + music.title() + QStringLiteral("轨道"));
    EXPECT_TRUE(events().isEmpty());

    // Alike data from elsewhere is refused; the application's own drag places the clip.
    auto* foreign = new QMimeData;
    foreign->setData(TimelineAssetDrag::kMimeType,
                     TimelineAssetDrag::mimeData(video.id)->data(TimelineAssetDrag::kMimeType));
    const TimelineLane screen = screenLane(kScreen1);
    EXPECT_FALSE(drop(foreign, onLane(screen, 100)));
    EXPECT_TRUE(events().isEmpty());
    EXPECT_TRUE(drop(TimelineAssetDrag::mimeData(video.id), onLane(screen, 100)));
    ASSERT_EQ(events().size(), 1);
    EXPECT_DOUBLE_EQ(events()[0].time, 2.08);
}

TEST_F(TimelineAreaTest, ADragOverALaneHighlightsItUnlessItTakesMessages)
{
    const MediaAsset picture = addImage();
    setEvents({TimelineCueEdits::newMessage(30)});
    auto* data = TimelineAssetDrag::mimeData(picture.id);
    const auto over = [&](QPointF at) {
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport(), &move);
        return model->view().targetedLane();
    };
    QDragEnterEvent enter(onLane(lane(Track::music), 50).toPoint(), Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &enter);
    EXPECT_EQ(over(onLane(lane(Track::music), 50)), lane(Track::music));
    EXPECT_EQ(over(onLane(lane(Track::message), 50)), std::nullopt);
    EXPECT_EQ(over(onLane(screenLane(kScreen1), 50)), screenLane(kScreen1));
    QDragLeaveEvent leave;
    QApplication::sendEvent(viewport(), &leave);
    EXPECT_EQ(model->view().targetedLane(), std::nullopt);
    delete data;
}

TEST_F(TimelineAreaTest, LaneHeaderAddsMessagesAndOffersLaneDeletion)
{
    const MediaAsset sound = addAudio();
    setEvents({clip(sound, 1, Track::music), TimelineCueEdits::newMessage(30)});
    model->selection().setInsertion(4);
    settle();
    auto* add = area->header()->findChild<QToolButton*>();
    ASSERT_TRUE(add);
    EXPECT_EQ(add->accessibleName(), QStringLiteral("添加通讯事件"));
    add->click();
    ASSERT_TRUE(model->view().messageDraft());
    EXPECT_EQ(model->view().messageDraft()->time, 4);

    const QPoint onMusic = onLane(lane(Track::music), 10).toPoint();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, onMusic, area->header()->mapToGlobal(onMusic));
    QApplication::sendEvent(area->header(), &menuEvent);
    auto* menu = area->header()->findChild<QMenu*>();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("删除轨道"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(model->view().layerToDelete(), lane(Track::music));
}

TEST(TimelineClipView, ShowsWhatFitsItsWidth)
{
    const MediaAsset picture{
        QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/show/sky.png")), AssetKind::image, {}};
    TimelineEvent osc = TimelineCueEdits::newMessage(1.5);
    osc.transport = Transport::osc;
    struct Case
    {
        double width;
        bool message;
        bool icon;
        std::optional<QString> name;
    };
    const Case cases[] = {
        {19, false, false, std::nullopt},
        {20, false, true, std::nullopt},
        {55, false, true, QStringLiteral("sky.png")},
        {200, true, true, std::nullopt},
    };
    for (const Case& c : cases) {
        const TimelineLayout::LaneClip clip{c.message ? osc : TimelineEvent{},
                                            c.message ? std::nullopt : std::optional(picture), 0, c.width};
        const TimelineClipView view(clip, 24);
        EXPECT_EQ(view.showsIcon(), c.icon) << c.width;
        EXPECT_EQ(view.name(), c.name) << c.width;
        EXPECT_EQ(view.handleRect().has_value(), !c.message) << c.width;
    }
    const TimelineClipView narrow({TimelineEvent{}, picture, 0, 3}, 24);
    EXPECT_DOUBLE_EQ(narrow.inset(), 0.75);
    EXPECT_DOUBLE_EQ(narrow.handleRect()->width(), 3);
    EXPECT_TRUE(TimelineClipView({osc, std::nullopt, 0, 30}, 24).help().endsWith(QStringLiteral("OSC / UDP")));
}

TEST_F(TimelineAreaTest, PlayheadAndClockFollowTheClockWhileTheCueIsLive)
{
    TimelineClock& clock = *engine->timelineClock();
    const auto cyanAt = [&](int x) {
        return grabArea().pixelColor(int(kHeaderWidth) + x, 30) == ConsoleColors::cyan();
    };
    // A cue without timeline events: only the test moves the clock.
    clock.update(5);
    EXPECT_FALSE(cyanAt(240));
    takeCue(0);
    clock.update(5);
    settle();
    EXPECT_TRUE(cyanAt(240));

    EXPECT_EQ(TimelineClockLabel::formatted(0, QLocale(QLocale::English)), QStringLiteral("0.00 秒"));
    EXPECT_EQ(TimelineClockLabel::formatted(1234.5, QLocale(QLocale::English)), QStringLiteral("1,234.50 秒"));
    EXPECT_EQ(TimelineClockLabel::formatted(3.5, QLocale(QLocale::Chinese)), QStringLiteral("3.50 秒"));
}

TEST_F(TimelineAreaTest, ShowsLanesAndClipsAtTwoZooms)
{
    // On air before its clips are placed, so that only the test moves the clock.
    takeCue(0);
    setScreens({kScreen1, kScreen2, kScreen3});
    const MediaAsset picture = addImage();
    const MediaAsset video = addVideo(6);
    const MediaAsset sound = addAudio(8);
    TimelineEvent message = TimelineCueEdits::newMessage(3);
    setEvents({clipOn(picture, 1, screenLane(kScreen1), 4), clipOn(video, 6, screenLane(kScreen1)),
               clipOn(video, 0.5, screenLane(kScreen2)), clipOn(picture, 9, screenLane(kScreen3), 0.3),
               clip(sound, 2, Track::music), message});
    model->selection().setEventID(events()[1].id);
    model->selection().setInsertion(4.5);
    area->resize(870, int(areaHeight(int(model->cue().lanes().size()))));
    const QString folder = QStringLiteral(LUMO_TEST_SHOTS);
    QDir().mkpath(folder);
    engine->timelineClock()->update(7.25);
    for (double zoom : {48.0, 12.0}) {
        model->view().setZoom(zoom);
        settle();
        const QImage shot = grabArea();
        EXPECT_EQ(shot.height(), int(areaHeight(int(model->cue().lanes().size()))));
        shot.save(folder + QStringLiteral("/timeline-area-zoom%1.png").arg(int(zoom)));
    }

    // Halfway through moving the second screen's video to the first screen's lane at 13 s.
    model->view().setZoom(48);
    const QPointF from = onLane(screenLane(kScreen2), 0.5 * 48 + 10);
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, onLane(screenLane(kScreen1), 12.5 * 48 + 10), Qt::LeftButton);
    settle();
    ASSERT_TRUE(model->view().movingClip());
    grabArea().save(folder + QStringLiteral("/timeline-area-moving-clip.png"));
    mouse(QEvent::MouseButtonRelease, onLane(screenLane(kScreen1), 12.5 * 48 + 10), Qt::LeftButton);
}

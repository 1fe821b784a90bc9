#include "consolefixture.h"
#include "consolestate.h"
#include "consoleview.h"
#include "displaypreview.h"
#include "draghandle.h"
#include "eventinspector.h"
#include "eventwait.h"
#include "mediafixtures.h"
#include "screencard.h"
#include "screenmonitor.h"
#include "screenscolumn.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"
#include "timelinegeometry.h"
#include "timelineviewport.h"
#include "transportbar.h"

#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <utility>

namespace {
// The console shown, with the parts the layout tests look at and a still to lay the lanes' clips of.
struct ShownConsole
{
    ShownConsole(ConsoleWindow& shown, const Show& show)
        : window(shown), editor(*shown.view()->timelineEditor()),
          screens(*static_cast<ScreensColumn*>(shown.view()->screensColumn())), column(screens.parentWidget()),
          pane(editor.findChild<QWidget*>("editingPane")), original(show)
    {
        window.show();
    }

    ConsoleWindow& window;
    TimelineEditor& editor;
    ScreensColumn& screens;
    QWidget* column;
    QWidget* pane;
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png({320, 180}, Qt::darkCyan));
    const Show original;
};

// Gives a cue this many lanes and one clip on each: pictures on the layers of screen 1, the last lane a message lane.
void giveLanes(Cue& cue, const Show& show, int lanes, const MediaAsset& picture)
{
    QList<TimelineLane> defaults{{Track::music, 1, std::nullopt}};
    for (const ScreenRole& screen : show.screens())
        defaults.append({Track::main, 1, screen});
    cue.hiddenDefaultLanes = defaults;
    QList<TimelineEvent> events;
    for (int layer = 1; layer <= std::max(1, lanes - 1); ++layer) {
        TimelineEvent event;
        event.time = 1;
        event.assetID = picture.id;
        event.outputScreen = kScreen1;
        event.layer = layer;
        event.imageDuration = 2;
        events.append(event);
    }
    if (lanes > 1) {
        TimelineEvent message;
        message.time = 1;
        message.track = Track::message;
        message.host = QStringLiteral("127.0.0.1");
        message.port = 9000;
        message.payload = QStringLiteral("go");
        events.append(message);
    }
    cue.timeline = events;
}

// The show with its first cue given this many lanes.
Show showWithLanes(Show show, int lanes, const QUrl& still)
{
    MediaAsset picture{newUuid(), still, AssetKind::image, std::nullopt};
    show.assets = QList<MediaAsset>{picture};
    giveLanes(show.cues[0], show, lanes, picture);
    return show;
}

// A show of one cue for each of these lane counts, in order.
Show showOfCuesWithLanes(Show show, const QList<int>& laneCounts, const QUrl& still)
{
    MediaAsset picture{newUuid(), still, AssetKind::image, std::nullopt};
    show.assets = QList<MediaAsset>{picture};
    show.cues.clear();
    for (int lanes : laneCounts) {
        Cue cue;
        cue.name = QStringLiteral("%1 条轨道").arg(lanes);
        giveLanes(cue, show, lanes, picture);
        show.cues.append(cue);
    }
    return show;
}

// A drag of the handle by dy points, as the operator's pointer makes it.
void dragHandle(DragHandle& handle, int dy)
{
    const QPoint start = handle.mapToGlobal(handle.rect().center());
    for (auto [type, y] : {std::pair{QEvent::MouseButtonPress, 0},
                           {QEvent::MouseMove, dy / 2},
                           {QEvent::MouseMove, dy},
                           {QEvent::MouseButtonRelease, dy}}) {
        const QPointF global(start.x(), start.y() + y);
        QMouseEvent event(type, handle.mapFromGlobal(global), global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&handle, &event);
    }
}

void addDrawn(QLayoutItem* item, QWidget* column, QRect& row)
{
    if (QWidget* widget = item->widget()) {
        if (widget->isVisible())
            row |= QRect(widget->mapTo(column, QPoint(0, 0)), widget->size());
    } else if (QLayout* layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i)
            addDrawn(layout->itemAt(i), column, row);
    }
}

// The rows of a column as they are drawn, top to bottom in its layout's order: a widget, or the widgets of a row
// layout together.
QList<QRect> drawnRows(QWidget* column)
{
    QList<QRect> rows;
    QLayout* layout = column->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QRect row;
        addDrawn(layout->itemAt(i), column, row);
        if (!row.isEmpty())
            rows.append(row);
    }
    return rows;
}

// Each row ends above the next one starts, and all lie within the column.
bool rowsApart(QWidget* column, bool report)
{
    const QList<QRect> rows = drawnRows(column);
    bool apart = !rows.isEmpty();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const bool inside = column->rect().contains(rows[i]);
        const bool clear = i + 1 == rows.size() || rows[i].bottom() < rows[i + 1].top();
        apart = apart && inside && clear;
        if (report) {
            EXPECT_TRUE(inside) << column->objectName().toStdString() << " row " << i;
            EXPECT_TRUE(clear) << column->objectName().toStdString() << " row " << i << " bottom " << rows[i].bottom()
                               << " next top " << rows[i + 1].top();
        }
    }
    return apart;
}

} // namespace

// The console at the smallest, the default and a large window, with one to nine lanes and the monitors dragged as
// tall as they go: no row of the right column runs into another, the timeline keeps its height, every lane's clip
// takes a click at its centre, and the monitors show the dragged height, the column scrolling where the window is
// too short for it.
TEST_F(ConsoleTest, TheRightColumnsRowsNeverOverlapAndTheMonitorsKeepTheDraggedHeight)
{
    struct Case
    {
        QSize window;
        int lanes;
    };
    const Case cases[] = {
        {{1080, 720}, 1}, {{1080, 720}, 5}, {{1080, 720}, 7},  {{1080, 720}, 9},  {{1320, 850}, 1},  {{1320, 850}, 5},
        {{1320, 850}, 7}, {{1320, 850}, 9}, {{1920, 1080}, 1}, {{1920, 1080}, 5}, {{1920, 1080}, 7}, {{1920, 1080}, 9},
    };
    ShownConsole console(app->consoleWindow(), engine().show());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&console.window));
    auto& [window, editor, screens, column, pane, still, original] = console;
    // The column may sit in a scroll area of its own, which then offers it its visible height.
    QWidget* offered = column->parentWidget();
    auto* right = qobject_cast<QScrollArea*>(offered->parentWidget());
    if (!right || right->widget() != column) {
        right = nullptr;
        offered = column;
    }
    QScrollArea& timeline = *editor.timelineScroll();
    QWidget* inspector = editor.findChild<QWidget*>("inspectorScroll");
    auto* viewport = editor.findChild<TimelineViewport*>();
    ASSERT_TRUE(pane && inspector && viewport);

    for (const Case& c : cases) {
        const std::string name = std::to_string(c.window.width()) + "x" + std::to_string(c.window.height()) + ", " +
                                 std::to_string(c.lanes) + " lanes";
        SCOPED_TRACE(name);
        view().state().setPreviewMode(false);
        if (right)
            right->verticalScrollBar()->setValue(0);
        window.resize(c.window);
        engine().setShow(showWithLanes(original, c.lanes, still));
        engine().setSelected(engine().show().cues[0].id);
        ASSERT_EQ(editor.model().cue().lanes().size(), c.lanes);
        runEvents(50);
        dragHandle(*screens.findChild<DragHandle*>(), 400);
        EXPECT_EQ(view().state().previewHeight(), ConsoleState::maximumPreviewHeight);

        auto picture = [&] { return screens.shownCards().first()->monitor()->preview()->height(); };
        auto settled = [&](bool report) {
            bool apart = true;
            for (QWidget* part : {column, pane, static_cast<QWidget*>(&screens)})
                apart = rowsApart(part, report) && apart;
            const bool timelineHeight = timeline.height() == std::min(32 * c.lanes + 24, 248);
            const bool full = picture() == ConsoleState::maximumPreviewHeight;
            // The column takes the height it needs, scrolling where the window is shorter.
            const bool whole = column->height() >= column->layout()->minimumSize().height() &&
                               (right || column->height() <= offered->height());
            if (report) {
                EXPECT_TRUE(timelineHeight) << timeline.height();
                EXPECT_TRUE(full) << "monitors " << picture();
                EXPECT_TRUE(whole) << "column " << column->height() << " needs "
                                   << column->layout()->minimumSize().height() << " of " << offered->height();
            }
            return apart && timelineHeight && full && whole;
        };
        // The nested layouts settle over a few passes of the event loop; a busy machine may need seconds.
        waitUntil([&] { return settled(false); });
        runEvents(100);
        settled(true);
        if (c.window == QSize(1320, 850) && c.lanes == 7)
            saveShot(window, "console-layout-1320x850-seven-lanes");

        const QList<TimelineLane> lanes = editor.model().cue().lanes();
        for (int i = 0; i < lanes.size(); ++i) {
            const QList<TimelineLayout::LaneClip> clips =
                editor.model().layout().visibleClips(lanes[i], viewport->width());
            ASSERT_EQ(clips.size(), 1) << "lane " << i;
            const QPoint centre(int(clips[0].x + clips[0].width / 2), int(TimelineGeometry::laneTop(i) + 16));
            // Brought into view as the operator would, by the timeline's own scroll and then the column's.
            timeline.ensureVisible(0, viewport->mapTo(timeline.widget(), centre).y(), 0, 20);
            if (right)
                right->ensureVisible(0, viewport->mapTo(column, centre).y(), 0, 20);
            runEvents(20);
            const QPoint global = viewport->mapToGlobal(centre);
            QWidget* hit = window.childAt(window.mapFromGlobal(global));
            ASSERT_TRUE(hit) << "lane " << i;
            editor.model().selection().setEventID(std::nullopt);
            QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFromGlobal(global));
            EXPECT_EQ(editor.model().selection().eventID(), clips[0].event.id)
                << "lane " << i << " hit " << hit->metaObject()->className() << " " << hit->objectName().toStdString();
        }
        // Scrolled to the foot of the column: the last lane above the navigation row, the monitors out of view.
        if (c.window == QSize(1080, 720) && c.lanes == 9) {
            if (right)
                right->verticalScrollBar()->setValue(right->verticalScrollBar()->maximum());
            runEvents(50);
            saveShot(window, "console-layout-1080x720-nine-lanes");
        }
    }
}

namespace {
QRect onScreen(const QWidget& widget)
{
    return QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
}

QPushButton* transportButton(QWidget& transport, const QString& text)
{
    for (QPushButton* button : transport.findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

// A click where the operator's pointer is, on whatever lies there now.
QWidget* clickAt(QWidget& window, QPoint global)
{
    QWidget* hit = window.childAt(window.mapFromGlobal(global));
    if (hit)
        QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFromGlobal(global));
    return hit;
}
} // namespace

// The operator's GO at the smallest and a large window: with cues of 1, 3, 7 and 10 lanes selected in turn by the
// GO itself, the button and the transport row never move, so a second click at the same place fires the next cue;
// the rows stay apart, the handle still sets the monitors' height, and an event opened from the timeline's menu
// brings its first field into view.
TEST_F(ConsoleTest, GoAndTheTransportRowStayWhereTheyAreWhicheverCueAGoSelects)
{
    ShownConsole console(app->consoleWindow(), engine().show());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&console.window));
    auto& [window, editor, screens, column, pane, still, original] = console;
    auto* transport = screens.findChild<TransportBar*>();
    ASSERT_TRUE(pane && transport);
    QPushButton* go = transportButton(*transport, QStringLiteral("GO 下一条"));
    QPushButton* play = transportButton(*transport, QStringLiteral("播放节目"));
    ASSERT_TRUE(go && play);
    auto picture = [&] { return screens.shownCards().first()->monitor()->preview()->height(); };

    for (const QSize size : {QSize(1080, 720), QSize(1920, 1080)}) {
        const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        SCOPED_TRACE(name.toStdString());
        engine().stop(true);
        window.resize(size);
        engine().setShow(showOfCuesWithLanes(original, {1, 3, 7, 10}, still));
        view().state().setPreviewHeight(120);
        engine().setSelected(engine().show().cues.last().id);
        editor.rightColumnScroll()->verticalScrollBar()->setValue(0);
        // Settled: the pictures at their height, the rows apart, and the transport row where it was on the last look
        // (a change of height reaches the outer layouts over a few turns of the event loop).
        auto settled = [&](int height) {
            QRect last;
            return waitUntil([&] {
                runEvents(5);
                const QRect now = onScreen(*transport);
                const bool steady = std::exchange(last, now) == now;
                return steady && picture() == height && rowsApart(column, false) && rowsApart(pane, false) &&
                       rowsApart(&screens, false);
            });
        };
        ASSERT_TRUE(settled(120));
        const QRect goPlace = onScreen(*go);
        const QRect playPlace = onScreen(*play);
        const QRect transportPlace = onScreen(*transport);
        saveShot(window, "console-go-" + name + "-before");

        for (int fired = 0; fired < 4; ++fired) {
            SCOPED_TRACE(fired);
            QWidget* hit = clickAt(window, goPlace.center());
            ASSERT_EQ(hit, go) << (hit ? hit->metaObject()->className() : "nothing");
            ASSERT_TRUE(waitUntil([&] { return engine().selected() == engine().show().cues[fired].id; }));
            EXPECT_TRUE(settled(120));
            EXPECT_EQ(onScreen(*go), goPlace);
            EXPECT_EQ(onScreen(*play), playPlace);
            EXPECT_EQ(onScreen(*transport), transportPlace);
            rowsApart(column, true);
            rowsApart(pane, true);
            if (fired == 0)
                saveShot(window, "console-go-" + name + "-after");
        }

        // The handle sets the height at this size too, and the pictures take it.
        dragHandle(*screens.findChild<DragHandle*>(), -50);
        EXPECT_EQ(view().state().previewHeight(), 70);
        EXPECT_TRUE(waitUntil([&] { return picture() == 70; }));
        dragHandle(*screens.findChild<DragHandle*>(), 60);
        EXPECT_EQ(view().state().previewHeight(), 130);
        EXPECT_TRUE(waitUntil([&] { return picture() == 130; }));

        // "编辑事件…" on the first lane's clip shows the event's first field within the window.
        auto* viewport = editor.findChild<TimelineViewport*>();
        const QList<TimelineLane> lanes = editor.model().cue().lanes();
        const QList<TimelineLayout::LaneClip> clips = editor.model().layout().visibleClips(lanes[0], viewport->width());
        ASSERT_EQ(clips.size(), 1);
        const QPointF clip(clips[0].x + clips[0].width / 2, TimelineGeometry::laneTop(0) + 16);
        bool opened = false;
        for (const TimelineMenuItem& item : editor.model().insertionMenu(clip))
            if (item.title == QStringLiteral("编辑事件…")) {
                item.invoke();
                opened = true;
            }
        ASSERT_TRUE(opened);
        QScrollArea* right = editor.rightColumnScroll();
        auto fieldShown = [&] {
            QWidget* field =
                editor.eventInspector() ? editor.eventInspector()->findChild<QWidget*>("eventTime") : nullptr;
            if (!field || !field->isVisible())
                return false;
            const QRect shown(right->viewport()->mapToGlobal(QPoint(0, 0)), right->viewport()->size());
            return shown.contains(onScreen(*field)) && !field->visibleRegion().isEmpty();
        };
        EXPECT_TRUE(waitUntil(fieldShown));
        EXPECT_EQ(editor.model().selection().eventID(), clips[0].event.id);
        saveShot(window, "console-event-opened-" + name);

        // Scrolled there, the column keeps its place when a cue of fewer lanes is selected.
        QScrollBar* bar = right->verticalScrollBar();
        ASSERT_TRUE(settled(130));
        const int scrolled = bar->value();
        const QRect scrolledPlace = onScreen(*transport);
        engine().setSelected(engine().show().cues.first().id);
        EXPECT_TRUE(settled(130));
        EXPECT_EQ(bar->value(), scrolled);
        EXPECT_EQ(onScreen(*transport), scrolledPlace);
    }
    engine().stop(true);
}

// The cue list opens at its own height in the left column, and a taller or shorter window changes the library only;
// once the operator drags the divider, the cue list keeps the height dragged to.
TEST_F(ConsoleTest, TheCueListOpensAtItsHeightAndTheLibraryTakesTheRest)
{
    for (const QSize size : {QSize(1080, 720), QSize(1920, 1080)}) {
        SCOPED_TRACE(size.height());
        start();
        ConsoleWindow& fresh = app->consoleWindow();
        QWidget* list = view().cueList();
        auto* split = view().timelineEditor()->findChild<QSplitter*>("leftColumn");
        ASSERT_TRUE(split);
        fresh.resize(size);
        fresh.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
        EXPECT_TRUE(waitUntil([&] { return list->height() == 180; })) << list->height();
        EXPECT_EQ(split->widget(1)->height(), split->height() - 180 - split->handleWidth());
        fresh.resize(size - QSize(0, 100));
        EXPECT_TRUE(
            waitUntil([&] { return split->widget(1)->height() == split->height() - 180 - split->handleWidth(); }));
        EXPECT_EQ(list->height(), 180);
    }
    // A drag of the divider is the operator's: a new window height leaves the cue list where it was dragged to.
    auto* split = view().timelineEditor()->findChild<QSplitter*>("leftColumn");
    QSplitterHandle* handle = split->handle(1);
    const QPoint start = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(handle, start + QPoint(0, 40));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, start + QPoint(0, 40));
    EXPECT_TRUE(waitUntil([&] { return view().cueList()->height() == 220; })) << view().cueList()->height();
    const int libraryBefore = split->widget(1)->height();
    app->consoleWindow().resize(1400, 900);
    // The new height reaches the split, and the library takes it.
    EXPECT_TRUE(waitUntil([&] { return split->widget(1)->height() != libraryBefore; }));
    EXPECT_EQ(view().cueList()->height(), 220);
}

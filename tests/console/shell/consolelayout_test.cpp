#include "consolefixture.h"
#include "consolestate.h"
#include "consoleview.h"
#include "displaypreview.h"
#include "draghandle.h"
#include "eventwait.h"
#include "mediafixtures.h"
#include "screencard.h"
#include "screenmonitor.h"
#include "screenscolumn.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"
#include "timelinegeometry.h"
#include "timelineviewport.h"

#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {
// A cue with this many lanes and one clip on each: pictures on the layers of screen 1, the last lane a message lane.
Show showWithLanes(Show show, int lanes, const QUrl& still)
{
    MediaAsset picture{newUuid(), still, AssetKind::image, std::nullopt};
    show.assets = QList<MediaAsset>{picture};
    Cue& cue = show.cues[0];
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
// takes a click at its centre, and the monitors show the dragged height unless the inspector column below has
// given up all its room and the window has none left.
TEST_F(ConsoleTest, TheRightColumnsRowsNeverOverlapAndTheMonitorsKeepTheDraggedHeightWhileThereIsRoom)
{
    struct Case
    {
        QSize window;
        int lanes;
        bool roomForTallest;
    };
    const Case cases[] = {
        {{1080, 720}, 1, false}, {{1080, 720}, 5, false}, {{1080, 720}, 7, false}, {{1080, 720}, 9, false},
        {{1320, 850}, 1, true},  {{1320, 850}, 5, false}, {{1320, 850}, 7, false}, {{1320, 850}, 9, false},
        {{1920, 1080}, 1, true}, {{1920, 1080}, 5, true}, {{1920, 1080}, 7, true}, {{1920, 1080}, 9, true},
    };
    ConsoleWindow& window = app->consoleWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png({320, 180}, Qt::darkCyan));
    const Show original = engine().show();
    TimelineEditor& editor = *view().timelineEditor();
    auto& screens = *static_cast<ScreensColumn*>(view().screensColumn());
    QWidget* column = screens.parentWidget();
    // The column may sit in a scroll area of its own, which then offers it its visible height.
    QWidget* offered = column->parentWidget();
    auto* right = qobject_cast<QScrollArea*>(offered->parentWidget());
    if (!right || right->widget() != column) {
        right = nullptr;
        offered = column;
    }
    QWidget* pane = editor.findChild<QWidget*>("editingPane");
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
            // Short of the dragged height only when nothing else gives room: the inspector column has none, and
            // the column needs all the height the window offers it.
            const bool roomless =
                inspector->height() == 0 && column->layout()->minimumSize().height() >= offered->height();
            // The column scrolls only once the monitors are as small as they go.
            const bool scrollsLast =
                !right || right->verticalScrollBar()->maximum() == 0 || picture() == ConsoleState::minimumPreviewHeight;
            const bool expected = !c.roomForTallest || full;
            if (report) {
                EXPECT_TRUE(timelineHeight) << timeline.height();
                EXPECT_TRUE(full || roomless)
                    << "monitors " << picture() << ", inspector " << inspector->height() << ", column needs "
                    << column->layout()->minimumSize().height() << " of " << offered->height();
                EXPECT_GE(picture(), ConsoleState::minimumPreviewHeight);
                EXPECT_TRUE(scrollsLast) << "monitors " << picture() << ", column " << column->height() << " needs "
                                         << column->layout()->minimumSize().height() << " of " << offered->height();
                EXPECT_TRUE(expected) << "monitors " << picture();
            }
            return apart && timelineHeight && (full || roomless) && scrollsLast && expected;
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

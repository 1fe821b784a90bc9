#include "consoleview.h"
#include "editorfixture.h"
#include "lumosettings.h"
#include "timelinegeometry.h"
#include "timelineviewport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>

using EventInspectorView = EditorShellTest;

TEST_F(EventInspectorView, ShowsTheFieldsOfEachKindOfEvent)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset picture = addImage();
    const MediaAsset film = addVideo(12.25);
    const MediaAsset sound = addAudio();
    TimelineEvent onSecond = clipOn(film, 20, screenLane(kScreen2));
    TimelineEvent missing = clipOn(picture, 40, screenLane(kScreen1));
    missing.assetID = QUuid::createUuid();
    struct
    {
        const char* name;
        TimelineEvent event;
        bool layer, pictureDuration, duration, asset, videoSound, message;
        QStringList assets;
    } const cases[] = {
        {"image",
         clipOn(picture, 0, screenLane(kScreen1)),
         true,
         true,
         false,
         true,
         false,
         false,
         {"red.png", "clip.mp4"}},
        {"video on 屏幕 2", onSecond, true, false, true, true, true, false, {"red.png", "clip.mp4"}},
        {"music", clip(sound, 0, Track::music), false, false, false, true, false, false, {"sound.wav"}},
        {"message", TimelineCueEdits::newMessage(3), false, false, false, false, false, true, {}},
        {"missing file", missing, true, false, false, true, false, false, {"未选择或素材缺失", "red.png", "clip.mp4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setEvents({c.event});
        shell().selection().setEventID(c.event.id);
        EventInspector* inspector = editor->eventInspector();
        ASSERT_TRUE(inspector);
        const auto visible = [&](const char* name) {
            const QWidget* widget = inspector->findChild<QWidget*>(QString::fromLatin1(name));
            return widget && widget->isVisibleTo(inspector);
        };
        EXPECT_EQ(visible("layer"), c.layer);
        EXPECT_EQ(visible("pictureDuration"), c.pictureDuration);
        EXPECT_EQ(visible("mediaDuration"), c.duration);
        EXPECT_EQ(visible("asset"), c.asset);
        bool videoSound = false, message = false;
        for (const QCheckBox* box : inspector->findChildren<QCheckBox*>())
            videoSound |= box->text() == QStringLiteral("禁用视频声音") && box->isVisibleTo(inspector);
        for (const QPushButton* button : inspector->findChildren<QPushButton*>())
            message |= button->text() == QStringLiteral("编辑通讯事件");
        EXPECT_EQ(videoSound, c.videoSound);
        EXPECT_EQ(message, c.message);
        if (c.asset) {
            QStringList offered;
            const auto* assets = inspector->findChild<QComboBox*>(QStringLiteral("asset"));
            for (int i = 0; i < assets->count(); ++i)
                offered << assets->itemText(i);
            QStringList wanted = c.assets;
            wanted.replaceInStrings("red.png", picture.url.fileName());
            EXPECT_EQ(offered, wanted);
        }
    }
}

TEST_F(EventInspectorView, RefusesOverlapsAndClampsPictureDurations)
{
    const MediaAsset picture = addImage();
    const MediaAsset film = addVideo(4);
    const TimelineEvent first = clipOn(picture, 0, screenLane(kScreen1), 2);
    const TimelineEvent second = clipOn(film, 10, screenLane(kScreen1));
    setEvents({first, second});
    shell().selection().setEventID(first.id);
    EventInspector* inspector = editor->eventInspector();
    ASSERT_TRUE(inspector);
    auto* time = child<QLineEdit>(inspector, "eventTime");
    auto* duration = child<QLineEdit>(inspector, "pictureDuration");
    const auto stored = [&] { return events().first(); };

    typeInto(time, QStringLiteral("9"));
    EXPECT_EQ(stored().time, 0) << "9 to 11 overlaps the video at 10";
    EXPECT_EQ(shell().view().note(), QStringLiteral("同一轨道的素材不能重叠，请调整时间或层级。"));
    EXPECT_EQ(time->text(), QStringLiteral("0"));
    typeInto(time, QStringLiteral("90000"));
    EXPECT_EQ(stored().time, 0);
    typeInto(time, QStringLiteral("20"));
    EXPECT_EQ(stored().time, 20);
    EXPECT_EQ(shell().selection().insertion(), 20);

    typeInto(duration, QStringLiteral("0"));
    EXPECT_EQ(stored().imageDuration, 0.01);
    typeInto(duration, QStringLiteral("100000"));
    EXPECT_EQ(stored().imageDuration, 86400);

    shell().selection().setEventID(second.id);
    QCheckBox* sound = nullptr;
    for (QCheckBox* box : editor->eventInspector()->findChildren<QCheckBox*>())
        sound = box;
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->isChecked()) << "a screen-1 video without its own sound setting plays silent";
    sound->click();
    EXPECT_EQ(events().at(1).videoMuted, false);
}

TEST_F(EventInspectorView, GrabsTheEditorWithEventsAndTheMessageSheet)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset picture = addImage();
    const MediaAsset film = addVideo(8);
    setEvents({clipOn(picture, 2, screenLane(kScreen1), 4), clipOn(film, 0, screenLane(kScreen2)),
               TimelineCueEdits::newMessage(6)});
    shell().selection().setEventID(events().first().id);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    saveShot(*editor->eventInspector(), QStringLiteral("timeline-inspector-image"));

    QTemporaryDir folder;
    LumoSettings settings(folder.filePath(QStringLiteral("settings.ini")));
    ConsoleView console(*engine, settings, {});
    TimelineEditor* inConsole = console.timelineEditor();
    ASSERT_TRUE(inConsole);
    inConsole->model().selection().setEventID(events().first().id);
    console.resize(1440, 900);
    console.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&console));
    saveShot(console, QStringLiteral("timeline-editor"));

    TimelineEvent message = TimelineCueEdits::newMessage(6);
    message.payload = QStringLiteral("GO");
    shell().view().setMessageDraft(message);
    ASSERT_TRUE(editor->messageSheet());
    saveShot(*editor->messageSheet(), QStringLiteral("timeline-message-sheet"));
}

// The title names the screen the event is on now: a picture dragged from the first screen's lane to the second's
// and the undo and redo of that move keep the inspector open, and its title follows as the layer picker does.
TEST_F(EventInspectorView, TitleFollowsTheEventToAnotherScreen)
{
    setScreens({kScreen1, kScreen2});
    const MediaAsset picture = addImage();
    const TimelineLane first = screenLane(kScreen1);
    const TimelineLane second = screenLane(kScreen2);
    setEvents({clipOn(picture, 2, first, 2)});
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    auto* viewport = editor->findChild<TimelineViewport*>();
    ASSERT_TRUE(viewport);
    const auto onLane = [&](const TimelineLane& lane) {
        const TimelineViewState& view = shell().view();
        return QPointF(TimelineGeometry::xOf(3, view.scrollTime(), view.zoom()),
                       TimelineGeometry::laneTop(int(shell().cue().lanes().indexOf(lane))) +
                           TimelineGeometry::kLaneHeight / 2);
    };
    const auto mouse = [&](QEvent::Type type, QPointF at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, viewport->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, {});
        QApplication::sendEvent(viewport, &event);
    };
    const auto title = [&] {
        const auto* label = child<QLabel>(editor->eventInspector(), "eventTitle");
        return label ? label->text() : QString();
    };
    const auto layerOffered = [&] {
        const auto* layers = child<QComboBox>(editor->eventInspector(), "layer");
        return layers ? layers->currentText() : QString();
    };

    mouse(QEvent::MouseButtonPress, onLane(first));
    mouse(QEvent::MouseButtonRelease, onLane(first));
    ASSERT_TRUE(editor->eventInspector());
    EXPECT_EQ(title(), QStringLiteral("事件 · 屏幕 1"));
    const EventInspector* inspector = editor->eventInspector();

    mouse(QEvent::MouseButtonPress, onLane(first));
    mouse(QEvent::MouseMove, (onLane(first) + onLane(second)) / 2);
    mouse(QEvent::MouseMove, onLane(second));
    mouse(QEvent::MouseButtonRelease, onLane(second));
    settle();
    ASSERT_EQ(events().first().screen(), kScreen2);
    ASSERT_EQ(editor->eventInspector(), inspector) << "the same event stays in the inspector";
    EXPECT_EQ(title(), QStringLiteral("事件 · 屏幕 2"));
    EXPECT_TRUE(layerOffered().contains(kScreen2.rawValue)) << layerOffered().toStdString();
    saveShot(*editor->eventInspector(), QStringLiteral("timeline-inspector-moved"));

    engine->editHistory()->undo();
    settle();
    ASSERT_EQ(events().first().screen(), kScreen1);
    EXPECT_EQ(title(), QStringLiteral("事件 · 屏幕 1"));
    EXPECT_TRUE(layerOffered().contains(kScreen1.rawValue));
    engine->editHistory()->redo();
    settle();
    EXPECT_EQ(title(), QStringLiteral("事件 · 屏幕 2"));
}

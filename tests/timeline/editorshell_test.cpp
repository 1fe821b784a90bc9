#include "editorfixture.h"
#include "elidedlabel.h"
#include "eventwait.h"
#include "literaltext.h"
#include "lumosettings.h"
#include "mediadurationloader.h"
#include "mediafixtures.h"
#include "messageeventeditor.h"
#include "projectfilewait.h"
#include "timelineviewport.h"

#include <QAbstractSlider>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>

using EditorShell = EditorShellTest;

TEST_F(EditorShell, ShowsTheTimelineOnlyForAnEditedCueAndScrollsPastSevenLanes)
{
    engine->setSelected(std::nullopt);
    EXPECT_TRUE(editor->findChild<QLabel*>()->isVisibleTo(editor.get()));
    EXPECT_FALSE(shown("editingPane"));
    EXPECT_FALSE(shown("editedCueName"));

    engine->setSelected(cue(0).id);
    EXPECT_TRUE(shown("editingPane"));
    EXPECT_EQ(child<ElidedLabel>(editor.get(), "editedCueName")->text(), cue(0).name);
    for (const TimelineLane& lane : shell().cue().lanes())
        shell().edits().deleteLayer(lane);
    struct
    {
        int lanes;
        int height;
    } const cases[] = {{0, 24}, {1, 56}, {7, 248}, {8, 248}};
    for (const auto& c : cases) {
        while (shell().cue().lanes().size() < c.lanes)
            shell().edits().addLayer(Track::music, std::nullopt);
        EXPECT_EQ(editor->timelineScroll()->maximumHeight(), c.height) << c.lanes << " lanes";
        EXPECT_EQ(child(editor.get(), "lanePicker")->isEnabled(), c.lanes > 0);
        EXPECT_EQ(child(editor.get(), "removeLane")->isEnabled(), c.lanes > 0);
    }
    // "添加层" shows its menu's arrow apart from its label: the rightmost ink is the arrow alone, narrower than a
    // character, with clear space before it.
    auto* addLayer = child<QAbstractButton>(editor.get(), "addLayer");
    saveShot(*addLayer->parentWidget(), "timeline-controls");
    const QImage image = addLayer->grab().toImage();
    const int background = qGray(image.pixel(3, image.height() / 2));
    QList<bool> ink;
    for (int x = 3; x < image.width() - 3; ++x) {
        bool found = false;
        for (int y = 3; y < image.height() - 3 && !found; ++y)
            found = qGray(image.pixel(x, y)) > background + 60;
        ink << found;
    }
    const qsizetype arrowEnd = ink.lastIndexOf(true);
    const qsizetype arrowStart = ink.lastIndexOf(false, arrowEnd) + 1;
    const qsizetype labelEnd = ink.lastIndexOf(true, arrowStart - 1);
    EXPECT_LT(arrowEnd - arrowStart, addLayer->fontMetrics().horizontalAdvance(QStringLiteral("层")) / 2);
    EXPECT_GE(arrowStart - labelEnd, 3);
}

TEST_F(EditorShell, SnapSwitchKeepsTheStoredSettingAndBackToStartNeedsAScroll)
{
    QTemporaryDir folder;
    LumoSettings settings(folder.filePath(QStringLiteral("settings.ini")));
    settings.setTimelineSnapEnabled(false);
    editor->bindSnapSetting(settings);
    EXPECT_FALSE(shell().view().snapEnabled());
    QPushButton* snap = nullptr;
    for (QPushButton* button : editor->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("吸附"))
            snap = button;
    ASSERT_TRUE(snap);
    EXPECT_FALSE(snap->isChecked());
    snap->click();
    EXPECT_TRUE(settings.timelineSnapEnabled());
    EXPECT_TRUE(waitUntil([&] { return settings.written(); }));
    EXPECT_TRUE(LumoSettings(folder.filePath(QStringLiteral("settings.ini"))).timelineSnapEnabled());
    settings.setTimelineSnapEnabled(false);
    EXPECT_FALSE(snap->isChecked());

    QWidget* toStart = child(editor.get(), "toStart");
    for (const double scroll : {0.0, 0.001, 30.0, 0.0}) {
        shell().view().setScrollTime(scroll);
        EXPECT_EQ(toStart->isEnabled(), scroll != 0) << scroll;
    }
}

// A name longer than the header row is cut with an ellipsis inside the row, as everywhere else.
TEST_F(EditorShell, ALongCueNameEndsInAnEllipsisInsideTheHeader)
{
    Show show = engine->show();
    show.cues[0].name = QStringLiteral("第二幕：城市夜景与灯光秀的长篇开场").repeated(8);
    engine->setShow(show);
    engine->setSelected(cue(0).id);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    auto* name = child<ElidedLabel>(editor.get(), "editedCueName");
    ASSERT_TRUE(name);
    EXPECT_TRUE(waitUntil([&] { return name->shownText().endsWith(QChar(0x2026)); }));
    EXPECT_TRUE(name->shownText().startsWith(QStringLiteral("第二幕：城市夜景")));
    const QWidget* scroll = child(editor.get(), "timelineScroll");
    EXPECT_LE(name->mapTo(editor.get(), QPoint(name->width(), 0)).x(),
              scroll->mapTo(editor.get(), QPoint(scroll->width(), 0)).x());
    saveShot(*editor, "timeline-long-cue-name");
}

// A wheel notch over the horizontal scroll moves the view a tenth of the span the timeline shows: later for a turn
// down or to the right, earlier for a turn up, never before the start.
TEST_F(EditorShell, AWheelNotchOverTheHorizontalScrollMovesTheViewATenthOfItsSpan)
{
    engine->setSelected(cue(0).id);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    auto* slider = child<QAbstractSlider>(editor.get(), "horizontalScroll");
    auto* viewport = editor->findChild<TimelineViewport*>();
    ASSERT_TRUE(slider && viewport);
    shell().view().setZoom(50);
    shell().view().setScrollTime(10);
    const double tenth = viewport->width() / 50.0 / 10;
    auto notch = [&](QPoint angle) {
        const QPointF centre = QRectF(slider->rect()).center();
        QWheelEvent wheel(centre, slider->mapToGlobal(centre), {}, angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &wheel);
    };
    notch({0, -120});
    EXPECT_NEAR(shell().view().scrollTime(), 10 + tenth, 0.011);
    notch({-120, 0});
    EXPECT_NEAR(shell().view().scrollTime(), 10 + 2 * tenth, 0.011);
    notch({0, 240});
    EXPECT_NEAR(shell().view().scrollTime(), 10, 0.011);
    shell().view().setScrollTime(0.5 * tenth);
    notch({0, 120});
    EXPECT_EQ(shell().view().scrollTime(), 0);
}

TEST_F(EditorShell, PickerAndInspectorFollowTheSelectedEvent)
{
    EXPECT_FALSE(shown("eventPicker"));
    EXPECT_TRUE(shown("inspectorHint"));
    const MediaAsset picture = addImage();
    const TimelineEvent placed = clipOn(picture, 4, screenLane(kScreen1));
    setEvents({placed});
    EXPECT_TRUE(shown("eventPicker"));
    EXPECT_TRUE(shown("inspectorHint"));
    shell().selection().setEventID(QUuid::createUuid());
    EXPECT_TRUE(shown("inspectorHint")) << "an id the cue lacks";

    shell().selection().setEventID(placed.id);
    ASSERT_TRUE(editor->eventInspector());
    EXPECT_FALSE(shown("inspectorHint"));
    EXPECT_EQ(editor->eventInspector()->eventID(), placed.id);
}

TEST_F(EditorShell, FocusRequestOpensTheEventAndScrollsToItsStart)
{
    const MediaAsset picture = addImage();
    const TimelineEvent early = clipOn(picture, 1.5, screenLane(kScreen1), 1);
    const TimelineEvent late = clipOn(picture, 10, screenLane(kScreen1), 1);
    setEvents({early, late});
    for (const auto& [event, scroll] : {std::pair{late, 8.0}, std::pair{early, 0.0}}) {
        engine->setFocusEvent(event.id);
        ASSERT_TRUE(waitUntil([&] { return !engine->focusEvent(); }));
        EXPECT_EQ(shell().selection().eventID(), event.id);
        EXPECT_EQ(shell().view().scrollTime(), scroll);
        ASSERT_TRUE(editor->eventInspector());
        EXPECT_EQ(editor->eventInspector()->eventID(), event.id);
    }
}

TEST_F(EditorShell, ScrubPreviewsOnlyWhereThePointerRests)
{
    QSignalSpy previewed(engine.get(), &Engine::timelinePreviewed);
    for (double x : {10, 20, 30, 40, 50})
        shell().positionPointer(screenLane(kScreen1), x);
    ASSERT_TRUE(previewed.wait(10000));
    runEvents(100);
    EXPECT_EQ(previewed.count(), 1);
    EXPECT_EQ(previewSwitches, 5);
}

TEST_F(EditorShell, LaneDeletionAlertCountsEventsAndDeletesOnlyWhenConfirmed)
{
    const MediaAsset picture = addImage();
    const TimelineLane lane = screenLane(kScreen1);
    setEvents({clipOn(picture, 0, lane, 1), clipOn(picture, 2, lane, 1), clipOn(picture, 4, lane, 1)});
    for (const bool confirm : {false, true}) {
        shell().edits().requestLayerDeletion(lane);
        QMessageBox* alert = editor->laneDeletionAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->informativeText(), "「" + lane.title() + QStringLiteral("」上的 3 个事件也会被删除。"));
        if (!confirm) {
            // The sentence stays on one line: a Chinese word broken over two lines reads as two words.
            ASSERT_TRUE(QTest::qWaitForWindowExposed(alert));
            for (QLabel* label : alert->findChildren<QLabel*>()) {
                if (label->text() == alert->informativeText()) {
                    EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing());
                }
            }
            saveShot(*alert, "lane-deletion-alert");
        }
        const QString choice = confirm ? QStringLiteral("删除轨道及事件") : QStringLiteral("取消");
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == choice)
                button->click();
        EXPECT_FALSE(shell().view().layerToDelete());
        EXPECT_EQ(events().size(), confirm ? 0 : 3);
        EXPECT_EQ(shell().cue().lanes().contains(lane), !confirm);
    }
}

// A screen's name comes from the project file: the event's inspector and the lane deletion alert show it as it
// stands, never as markup.
TEST_F(EditorShell, AScreensNameShowsAsItStandsInTheInspectorAndTheAlert)
{
    const ScreenRole screen{kMarkedUpName};
    edit([&](Show& show) { show.outputScreens = QList{screen}; });
    const TimelineLane lane = screenLane(screen);
    const TimelineEvent placed = clipOn(addImage(), 1, lane, 1);
    setEvents({placed});
    editor->show();
    shell().selection().setEventID(placed.id);
    ASSERT_TRUE(
        waitUntil([&] { return editor->eventInspector() && editor->eventInspector()->isVisibleTo(editor.get()); }));
    const QList<QLabel*> inEditor = labelsShowing(*editor, kMarkedUpName);
    EXPECT_FALSE(inEditor.isEmpty()) << "the inspector's title names the screen";
    for (QLabel* label : inEditor)
        EXPECT_TRUE(showsLiterally(*label, label->text()));
    saveShot(*editor, "timeline-markup-name");

    shell().edits().requestLayerDeletion(lane);
    QMessageBox* alert = editor->laneDeletionAlert();
    ASSERT_TRUE(alert);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(alert));
    const QList<QLabel*> inAlert = labelsShowing(*alert, kMarkedUpName);
    ASSERT_EQ(inAlert.size(), 1);
    EXPECT_EQ(inAlert[0]->text(), alert->informativeText());
    EXPECT_TRUE(showsLiterally(*inAlert[0], alert->informativeText()));
    saveShot(*alert, "lane-deletion-alert-markup-name");
    alert->reject();
}

TEST_F(EditorShell, MessageSheetSavesANewEventAndCancelChangesNothing)
{
    shell().selection().setInsertion(12.5);
    shell().edits().openNewMessage();
    ConsoleSheet* sheet = editor->messageSheet();
    ASSERT_TRUE(sheet);
    auto* save = child<QPushButton>(sheet, "");
    for (QPushButton* button : sheet->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("保存事件"))
            save = button;
    EXPECT_FALSE(save->isEnabled()) << "an empty payload is no message";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    auto* payload = child<QPlainTextEdit>(sheet, "payload");
    const QRect field = payload->geometry();
    payload->setPlainText(QStringLiteral("GO"));
    ASSERT_TRUE(save->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(payload->geometry(), field) << "the field stays put as the hint under it goes";
    saveShot(*sheet, "message-sheet");
    const int steps = undoSteps();
    save->click();
    ASSERT_EQ(events().size(), 1);
    EXPECT_EQ(events().first().payload, QStringLiteral("GO"));
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(shell().selection().eventID(), events().first().id);
    EXPECT_EQ(shell().selection().selectedLane(), lane(Track::message));
    EXPECT_EQ(shell().selection().insertion(), 12.5);
    EXPECT_TRUE(waitUntil([&] { return !editor->messageSheet(); }));
    EXPECT_FALSE(shell().view().messageDraft());

    shell().edits().openNewMessage();
    ASSERT_TRUE(editor->messageSheet());
    child<QPlainTextEdit>(editor->messageSheet(), "payload")->setPlainText(QStringLiteral("STOP"));
    editor->messageSheet()->reject();
    EXPECT_FALSE(shell().view().messageDraft());
    EXPECT_EQ(events().size(), 1);
    EXPECT_EQ(undoSteps(), steps + 1);

    shell().edits().openNewMessage();
    ASSERT_TRUE(editor->messageSheet());
    engine->setSelected(cue(1).id);
    EXPECT_TRUE(waitUntil([&] { return !editor->messageSheet(); })) << "another cue closes the sheet";
}

TEST_F(EditorShell, MessageSheetSavesOnlyValidTimesAndMessages)
{
    const auto withPayload = [](Transport transport, qsizetype bytes, qint64 port = 9000) {
        TimelineEvent event = TimelineCueEdits::newMessage(1);
        event.transport = transport;
        event.payload = QString(bytes, QLatin1Char('x'));
        event.port = port;
        return event;
    };
    TimelineEvent late = withPayload(Transport::udp, 2);
    late.time = 86400.5;
    struct
    {
        const char* name;
        TimelineEvent event;
        bool saves;
        bool hint;
    } const cases[] = {
        {"udp 65507", withPayload(Transport::udp, 65507), true, false},
        {"udp 65508", withPayload(Transport::udp, 65508), false, true},
        {"tcp 65508", withPayload(Transport::tcp, 65508), true, false},
        {"osc empty", withPayload(Transport::osc, 0), true, false},
        {"udp empty", withPayload(Transport::udp, 0), false, true},
        {"port 70000", withPayload(Transport::udp, 2, 70000), false, true},
        {"late", late, false, false},
    };
    for (const auto& c : cases) {
        int saved = 0;
        MessageEventEditor sheet(c.event, [&](const TimelineEvent&) { ++saved; });
        QPushButton* save = nullptr;
        for (QPushButton* button : sheet.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("保存事件"))
                save = button;
        ASSERT_TRUE(save);
        EXPECT_EQ(save->isEnabled(), c.saves) << c.name;
        const QLabel* hint = nullptr;
        for (const QLabel* label : sheet.findChildren<QLabel*>())
            if (label->text() == QStringLiteral("请检查地址、端口和消息内容"))
                hint = label;
        EXPECT_EQ(hint->isVisibleTo(&sheet), c.hint) << c.name;
        EXPECT_EQ(child<QLineEdit>(&sheet, "oscAddress")->isVisibleTo(&sheet), c.event.transport == Transport::osc);
    }

    MessageEventEditor typed(withPayload(Transport::udp, 2), {});
    typeInto(child<QLineEdit>(&typed, "port"), QStringLiteral("70000"));
    EXPECT_EQ(typed.draft().port, 70000) << "the port field takes any whole number";
}

TEST_F(EditorShell, MeasuresMissingLengthsWithoutAnEdit)
{
    // The editor measures with a loader of its own: beside this one, either might store the length first.
    editor.reset();
    const QUrl film = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2}));
    const MediaAsset measured = addAsset(film, AssetKind::video);
    addAsset(film, AssetKind::video, 5);
    addImage();
    ASSERT_EQ(ProjectFileWait::save(*engine, url(QStringLiteral("show.json"))), std::nullopt);
    const int steps = undoSteps();
    QSignalSpy stores(engine.get(), &Engine::showChanged);

    MediaDurationLoader loader(*engine);
    QSignalSpy passes(&loader, &MediaDurationLoader::passFinished);
    ASSERT_TRUE(passes.wait(20000));
    const QList<MediaAsset> library = engine->show().assets.value();
    ASSERT_TRUE(library.first().duration);
    EXPECT_NEAR(*library.first().duration, 2, 0.1);
    EXPECT_EQ(library.at(1).duration, 5) << "a known length is never measured again";
    EXPECT_EQ(stores.count(), 1);
    EXPECT_EQ(undoSteps(), steps);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_EQ(library.first().id, measured.id);

    // Every length is known: a loader made now has nothing to measure, and its pass still ends where it is heard.
    MediaDurationLoader idle(*engine);
    QSignalSpy idlePasses(&idle, &MediaDurationLoader::passFinished);
    EXPECT_TRUE(idlePasses.wait(5000));
    EXPECT_EQ(stores.count(), 1);
}

TEST_F(EditorShell, EntryGoneOrMovedWhileMeasuredTakesNoLength)
{
    // As above: the editor's own loader could measure the entry before this one is made.
    editor.reset();
    const QUrl film = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2}));
    const QUrl gone = QUrl::fromLocalFile(MediaFixtures::missing());
    for (const bool remove : {true, false}) {
        edit([](Show& show) { show.assets = QList<MediaAsset>{}; });
        const MediaAsset entry = addAsset(film, AssetKind::video);
        MediaDurationLoader loader(*engine);
        ASSERT_TRUE(loader.measuring());
        QSignalSpy passes(&loader, &MediaDurationLoader::passFinished);
        edit([&](Show& show) {
            if (remove)
                show.assets->clear();
            else
                show.assets->first().url = gone;
        });
        // The edit waits for the disk's answers, serving events: the pass may have finished within it.
        ASSERT_TRUE(!passes.isEmpty() || passes.wait(20000));
        runEvents(50);
        const QList<MediaAsset> library = engine->show().assets.value();
        EXPECT_EQ(library.size(), remove ? 0 : 1);
        if (!remove) {
            EXPECT_FALSE(library.first().duration) << "measured for a file the entry no longer names";
        }
        EXPECT_EQ(entry.url, film);
    }
}

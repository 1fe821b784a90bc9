#include "consolefixture.h"
#include "consoleview.h"
#include "displaypreview.h"
#include "draghandle.h"
#include "elidedlabel.h"
#include "picture.h"
#include "screencard.h"
#include "screenmonitor.h"
#include "screenmonitorlabel.h"
#include "screenoutputpicker.h"
#include "screenscolumn.h"
#include "screensfixture.h"
#include "timelineeditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <cmath>

class ScreensColumnTest : public ScreensTest
{
  protected:
    ScreensColumnTest()
    {
        column.resize(760, 560);
        column.show();
    }
    QStringList shownScreens() const
    {
        QStringList names;
        for (ScreenCard* card : column.shownCards())
            names << card->role().rawValue;
        return names;
    }
    QToolButton* pageButton(const QString& name) { return column.findChild<QToolButton*>(name); }
    ScreenCard& card(int screen) { return *column.card(ScreenRole{QStringLiteral("屏幕 %1").arg(screen)}); }
    QStringList pickerRows(int screen)
    {
        QStringList rows;
        for (int i = 0; i < card(screen).picker()->count(); ++i)
            rows << card(screen).picker()->itemText(i);
        return rows;
    }
    void pick(int screen, const QString& row)
    {
        ScreenOutputPicker* picker = card(screen).picker();
        emit picker->activated(picker->findText(row));
    }
    void drag(double from, double to)
    {
        auto* handle = column.findChild<DragHandle*>();
        auto send = [&](QEvent::Type type, double y, Qt::MouseButtons buttons) {
            const QPointF global(100, y);
            QMouseEvent event(type, handle->mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (double y = from; (to > from) ? y < to : y > to; y += (to > from) ? 7 : -7)
            send(QEvent::MouseMove, y, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    std::optional<QUrl> chosenImage;
    int imageRequests = 0;
    ScreensColumn column{*state, windowOpener(), [this](QWidget*, std::function<void(const QUrl&)> chosen) {
                             ++imageRequests;
                             if (chosenImage)
                                 chosen(*chosenImage);
                         }};
};

TEST_F(ScreensColumnTest, PagesShowTwoCardsAndFollowAddingAndRemoving)
{
    giveScreens(1);
    EXPECT_EQ(shownScreens(), QStringList{"屏幕 1"});
    EXPECT_FALSE(card(1).tick()->isVisible());
    EXPECT_FALSE(card(1).removeButton()->isVisible());
    EXPECT_FALSE(column.pagination()->isVisible());

    giveScreens(2);
    EXPECT_EQ(shownScreens(), (QStringList{"屏幕 1", "屏幕 2"}));
    EXPECT_TRUE(card(1).tick()->isVisible());
    EXPECT_FALSE(column.pagination()->isVisible());

    button<QPushButton>(column, "添加屏幕")->click();
    EXPECT_EQ(shownScreens(), QStringList{"屏幕 3"});
    EXPECT_EQ(column.pageText(), "2 / 2");
    const QFontMetricsF digits(column.pagination()->findChild<QLabel*>()->font());
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        EXPECT_EQ(digits.horizontalAdvance(QChar(digit)), digits.horizontalAdvance(u'0'))
            << "the page number keeps its place";
    EXPECT_FALSE(pageButton("下一页屏幕")->isEnabled());
    EXPECT_TRUE(pageButton("上一页屏幕")->isEnabled());
    saveShot(column, "screens-column-page-2-of-2");

    pageButton("上一页屏幕")->click();
    EXPECT_EQ(shownScreens(), (QStringList{"屏幕 1", "屏幕 2"}));
    EXPECT_FALSE(pageButton("上一页屏幕")->isEnabled());
    pageButton("下一页屏幕")->click();

    card(3).removeButton()->click();
    EXPECT_EQ(shownScreens(), (QStringList{"屏幕 1", "屏幕 2"}));
    EXPECT_EQ(state->screenPage(), 0);
    EXPECT_FALSE(column.pagination()->isVisible());
}

TEST_F(ScreensColumnTest, TicksSelectScreensUntilFewerThanTwoRemain)
{
    giveScreens(3);
    card(1).tick()->click();
    card(3).tick()->click();
    EXPECT_EQ(state->selectedScreens(), (QSet<ScreenRole>{kScreen1, ScreenRole{"屏幕 3"}}));

    // A cue that uses the screen keeps it: the card, its tick and the page stay.
    Cue cue;
    cue.side = QUrl::fromLocalFile(MediaFixtures::png());
    edit([&](Show& show) { show.cues.append(cue); });
    card(2).tick()->click();
    card(2).removeButton()->click();
    EXPECT_EQ(engine->message(), "请先移除节目中引用此屏幕的素材");
    EXPECT_TRUE(state->selectedScreens().contains(kScreen2));
    EXPECT_NE(column.card(kScreen2), nullptr);

    edit([&](Show& show) { show.cues.removeLast(); });
    card(3).removeButton()->click();
    EXPECT_EQ(state->selectedScreens(), (QSet<ScreenRole>{kScreen1, kScreen2}));
    card(2).removeButton()->click();
    EXPECT_TRUE(state->selectedScreens().isEmpty());
    EXPECT_FALSE(card(1).tick()->isVisible());
}

TEST_F(ScreensColumnTest, PickerBindsUnbindsAndReportsARememberedDisplay)
{
    giveScreens(2);
    connectDisplays({display(1), display(2)});
    EXPECT_EQ(pickerRows(1), (QStringList{"仅监看", "HDMI-1 · 1920 × 1080", "HDMI-2 · 1920 × 1080"}));
    EXPECT_EQ(card(1).picker()->currentText(), "仅监看");
    EXPECT_EQ(card(1).statusWord(), "仅监看");

    pick(1, "HDMI-2 · 1920 × 1080");
    EXPECT_EQ(engine->mappings().value(kScreen1), 2);
    EXPECT_EQ(card(1).picker()->currentText(), "HDMI-2 · 1920 × 1080");
    EXPECT_EQ(card(1).statusWord(), "在线");

    // Another screen cannot take the same display; its picker goes back to what it was.
    pick(2, "HDMI-2 · 1920 × 1080");
    EXPECT_EQ(engine->message(), "该显示器已分配给另一路输出");
    EXPECT_EQ(card(2).picker()->currentText(), "仅监看");

    connectDisplays({display(1)});
    EXPECT_EQ(pickerRows(1), (QStringList{"仅监看", "HDMI-1 · 1920 × 1080", "已记住 · 输出不可用"}));
    EXPECT_EQ(card(1).picker()->currentText(), "已记住 · 输出不可用");
    EXPECT_EQ(card(1).statusWord(), "掉线");
    pick(1, "已记住 · 输出不可用");
    EXPECT_TRUE(engine->screenHasBinding(kScreen1));

    pick(1, "仅监看");
    EXPECT_FALSE(engine->screenHasBinding(kScreen1));
    EXPECT_EQ(pickerRows(1), (QStringList{"仅监看", "HDMI-1 · 1920 × 1080"}));
}

TEST_F(ScreensColumnTest, AnOpenPickerKeepsItsRowsUntilItCloses)
{
    connectDisplays({display(1)});
    ScreenOutputPicker* picker = card(1).picker();
    picker->showPopup();
    displays->change({display(1), display(2)});
    runEvents(50);
    EXPECT_EQ(picker->count(), 2);
    picker->hidePopup();
    EXPECT_TRUE(waitUntil([&] { return picker->count() == 3; }));
}

TEST_F(ScreensColumnTest, HandleSetsTheMonitorHeightFromWhereTheDragBegan)
{
    struct Case
    {
        double translation;
        double height;
    };
    double height = 120;
    for (const Case& c : QList<Case>{{200, 230}, {-100, 130}, {-300, 55}, {30, 85}, {5, 85}}) {
        SCOPED_TRACE(c.translation);
        drag(400, 400 + c.translation);
        EXPECT_EQ(state->previewHeight(), c.height);
        EXPECT_FALSE(state->resizeOrigin());
        height = c.height;
    }
    EXPECT_EQ(card(1).monitor()->preview()->height(), int(height));
}

TEST_F(ScreensColumnTest, DefaultPictureRowChoosesAndRestores)
{
    auto* name = column.findChild<ElidedLabel*>("defaultPicture");
    EXPECT_EQ(name->text(), "内置待机画面");
    EXPECT_FALSE(button<QPushButton>(column, "恢复内置")->isVisible());

    button<QPushButton>(column, "选择图片")->click();
    EXPECT_EQ(imageRequests, 1);
    EXPECT_FALSE(engine->show().defaultPicture);

    chosenImage = QUrl::fromLocalFile(MediaFixtures::png({64, 48}, Qt::blue));
    button<QPushButton>(column, "选择图片")->click();
    EXPECT_TRUE(waitUntil([&] { return name->text() == chosenImage->fileName(); })) << "once the file has answered";
    button<QPushButton>(column, "恢复内置")->click();
    EXPECT_EQ(name->text(), "内置待机画面");
    EXPECT_FALSE(button<QPushButton>(column, "恢复内置")->isVisible());
}

TEST_F(ScreensColumnTest, MonitorsShowCorrectedOutputOnAirAndPlainPreview)
{
    ProjectorMapping mapping = engine->mapping(kScreen1);
    mapping.enabled = true;
    engine->setMapping(mapping, kScreen1);
    EXPECT_TRUE(card(1).mappedOutput() && card(1).mappedOutput()->isVisible());
    EXPECT_FALSE(card(1).monitor()->isVisible());

    button<QPushButton>(column, "预监")->click();
    EXPECT_TRUE(state->previewMode());
    EXPECT_FALSE(card(1).mappedOutput()->isVisible());
    EXPECT_TRUE(card(1).monitor()->isVisible());
    EXPECT_EQ(card(1).monitor()->preview()->picture(), engine->preview(kScreen1));
}

// The picture of every shown card lies inside its card, above its caption, at the shape of its screen.
static bool picturesAboveCaptions(ScreensColumn& column, bool report)
{
    bool good = true;
    for (ScreenCard* card : column.shownCards()) {
        SCOPED_TRACE(card->role().rawValue.toStdString());
        DisplayPreview* box = card->monitor()->preview();
        const QRect picture(box->mapTo(card, box->contentRect().topLeft()), box->contentRect().size());
        const QRect caption(card->monitor()->label()->mapTo(card, QPoint()), card->monitor()->label()->size());
        const double aspect = double(picture.width()) / std::max(1, picture.height());
        good = good && card->rect().contains(picture) && picture.bottom() <= caption.top() &&
               std::abs(aspect - 16.0 / 9) < 0.05;
        if (report) {
            EXPECT_TRUE(card->rect().contains(picture));
            EXPECT_LE(picture.bottom(), caption.top());
            EXPECT_NEAR(aspect, 16.0 / 9, 0.05);
        }
    }
    return good;
}

// Layouts settle over a few turns of the event loop, more of them in a slow (sanitized) build.
static void expectPicturesAboveCaptions(ScreensColumn& column)
{
    runEvents(50);
    waitUntil(
        [&] { return column.height() >= column.minimumSizeHint().height() && picturesAboveCaptions(column, false); });
    EXPECT_GE(column.height(), column.minimumSizeHint().height());
    picturesAboveCaptions(column, true);
}

// A third screen's lane and page make the column taller than the window: the pictures keep the height dragged to,
// the column scrolls instead, and the handle still works from there.
TEST_F(ConsoleTest, MonitorsKeepTheirHeightWhenTheColumnOutgrowsTheWindow)
{
    ConsoleWindow& window = app->consoleWindow();
    window.resize(1320, 850);
    window.show();
    auto& column = *static_cast<ScreensColumn*>(view().screensColumn());
    ConsoleState& state = view().state();
    state.setPreviewHeight(230);
    auto picture = [&] { return column.shownCards().first()->monitor()->preview()->height(); };
    EXPECT_TRUE(waitUntil([&] { return picture() == 230; }));

    while (engine().show().screens().size() < 3)
        button(column, "添加屏幕")->click();
    expectPicturesAboveCaptions(column);
    ASSERT_EQ(column.pageText(), "2 / 2");
    EXPECT_EQ(picture(), 230);
    QScrollBar* scroll = view().timelineEditor()->rightColumnScroll()->verticalScrollBar();
    EXPECT_TRUE(waitUntil([&] { return scroll->maximum() > 0; }));
    saveShot(window, "console-monitors-three-screens");

    auto* handle = column.findChild<DragHandle*>();
    for (auto [type, y] : {std::pair{QEvent::MouseButtonPress, 0},
                           {QEvent::MouseMove, -60},
                           {QEvent::MouseMove, -100},
                           {QEvent::MouseButtonRelease, -100}}) {
        const QPointF global(100, 400 + y);
        QMouseEvent event(type, handle->mapFromGlobal(global), global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &event);
    }
    EXPECT_EQ(state.previewHeight(), 130);
    EXPECT_TRUE(waitUntil([&] { return picture() == 130; }));
    expectPicturesAboveCaptions(column);
}

TEST_F(ScreensColumnTest, PreviewCaptionNamesTheScrubbedVideo)
{
    MediaAsset film;
    film.url = QUrl::fromLocalFile(MediaFixtures::indexedVideo(90));
    film.kind = AssetKind::video;
    film.duration = 3;
    TimelineEvent clip;
    clip.track = Track::main;
    clip.assetID = film.id;
    Cue cue;
    cue.name = QStringLiteral("片头");
    cue.timeline = QList<TimelineEvent>{clip};
    edit([&](Show& show) {
        show.assets = QList<MediaAsset>{film};
        show.cues.append(cue);
    });
    state->setPreviewMode(true);
    ScreenMonitorLabel* caption = card(1).monitor()->label();
    EXPECT_EQ(caption->text(), "无画面");

    engine->previewTimeline(engine->show().cues.last(), 1.5);
    EXPECT_TRUE(waitUntil([&] { return engine->preview(kScreen1)->image().has_value(); }, 10000));
    EXPECT_EQ(caption->text(), film.url.fileName());
    saveShot(column, "screens-preview-scrubbed-video");
}

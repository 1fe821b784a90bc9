#include "displaybindings.h"
#include "enginefixture.h"

#include <QSignalSpy>
#include <QUndoStack>

static DisplayScreen screenNumbered(int number, const QString& identity, const QString& name)
{
    return DisplayScreen{number, identity, name, {1920 * (number - 1), 0, 1920, 1080}, {1920, 1080}};
}

class DisplayBindingsTest : public EngineTest
{
  protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        setScreens({kScreen1, kScreen2, kScreen3});
        displays->change({main, left, right});
        runEvents(10);
    }
    std::optional<QString> stored(const ScreenRole& role) const
    {
        const auto& bindings = engine->show().displayBindings;
        if (!bindings || !bindings->contains(role.rawValue))
            return std::nullopt;
        return bindings->value(role.rawValue);
    }
    void storeBindings(const QMap<QString, QString>& bindings)
    {
        edit([&](Show& show) { show.displayBindings = bindings; });
    }
    // Notes the status word a listener reads each time the bindings or the show are announced.
    void listenToStatus(const ScreenRole& role)
    {
        for (auto changed : {&Engine::mappingsChanged, &Engine::showChanged})
            QObject::connect(engine.get(), changed, engine.get(),
                             [this, role] { statusHeard.append(engine->screenStatus(role)); });
    }
    // What every bound screen shows after the next display change.
    void displaysChange(QList<DisplayScreen> list)
    {
        displays->change(std::move(list));
        runEvents(10);
    }

    QStringList statusHeard;
    const DisplayScreen main = screenNumbered(1, QStringLiteral("A"), QStringLiteral("eDP-1"));
    const DisplayScreen left = screenNumbered(2, QStringLiteral("B"), QStringLiteral("HDMI-1"));
    const DisplayScreen right = screenNumbered(3, QStringLiteral("C"), QStringLiteral("HDMI-2"));
};

TEST(DisplayScreen, PixelSizeFollowsTheFrameOrientation)
{
    struct Case
    {
        std::optional<QSize> mode;
        QSizeF frame;
        qreal scale;
        QSize expected;
    };
    const Case cases[] = {
        {QSize(1920, 1080), {1080, 1920}, 1, {1080, 1920}}, // rotated panel
        {QSize(1080, 1920), {1920, 1080}, 1, {1920, 1080}}, {QSize(3840, 2160), {1920, 1080}, 2, {3840, 2160}},
        {std::nullopt, {1280, 720}, 2, {2560, 1440}},       {QSize(0, 0), {1280, 720}, 1.5, {1920, 1080}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DisplayScreen::pixelSizeFor(c.mode, c.frame, c.scale), c.expected) << c.frame.width();
    DisplayScreen display{1, "A", "DELL U2720Q", {}, DisplayScreen::pixelSizeFor(QSize(3840, 2160), {3840, 2160}, 1)};
    EXPECT_EQ(display.displayName(), QStringLiteral("DELL U2720Q · 3840 × 2160"));
}

// Two identical projectors (or the screens of an X server that names none) are offered and reported under names of
// their own, numbered in the order of their display numbers whichever order the system lists them in; a display
// whose name is its own keeps it, and the last of a pair left connected goes back to the plain name.
TEST_F(DisplayBindingsTest, DisplaysOfOneNameAreToldApart)
{
    const DisplayScreen first = screenNumbered(4, QStringLiteral("D"), QStringLiteral("screen"));
    const DisplayScreen second = screenNumbered(5, QStringLiteral("E"), QStringLiteral("screen"));
    displaysChange({second, main, first});
    QStringList names;
    for (const DisplayScreen& display : engine->displays())
        names << display.displayName();
    EXPECT_EQ(names, QStringList({"screen (2) · 1920 × 1080", "eDP-1 · 1920 × 1080", "screen (1) · 1920 × 1080"}));
    engine->bind(kScreen2, second.number);
    EXPECT_EQ(engine->message(), QStringLiteral("屏幕 2已绑定 · screen (2)"));

    displaysChange({main, second});
    EXPECT_EQ(engine->displays().last().name, QStringLiteral("screen"));
}

TEST_F(DisplayBindingsTest, BindingOpensTheWindowAndStoresTheDisplay)
{
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("仅监看"));
    QSignalSpy mappingsChanged(engine.get(), &Engine::mappingsChanged);
    listenToStatus(kScreen2);
    engine->bind(kScreen2, left.number);
    // The window is open by the time the binding is announced.
    EXPECT_EQ(statusHeard, (QStringList{"在线", "在线"}));
    EXPECT_EQ(windows->opened, QList<ScreenRole>{kScreen2});
    EXPECT_EQ(windows->windows[kScreen2]->display, left);
    EXPECT_EQ(engine->mappings(), (QMap<ScreenRole, int>{{kScreen2, 2}}));
    EXPECT_EQ(stored(kScreen2), QStringLiteral("B"));
    EXPECT_EQ(engine->display(kScreen2), left);
    EXPECT_EQ(engine->message(), QStringLiteral("屏幕 2已绑定 · HDMI-1"));
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("在线"));
    EXPECT_EQ(mappingsChanged.count(), 1);
    EXPECT_TRUE(engine->hasUnsavedChanges());

    // The same display again closes and reopens the window.
    engine->bind(kScreen2, left.number);
    EXPECT_EQ(windows->opened.size(), 2);
    EXPECT_EQ(windows->closed, QList<ScreenRole>{kScreen2});

    engine->setMessage(QStringLiteral("x"));
    engine->bind(kScreen2, std::nullopt);
    EXPECT_FALSE(engine->displayBindings().hasWindow(kScreen2));
    EXPECT_TRUE(engine->mappings().isEmpty());
    EXPECT_EQ(stored(kScreen2), std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("x"));
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("仅监看"));

    // Undoing the unbind restores the binding and its window.
    engine->editHistory()->undo();
    EXPECT_TRUE(engine->displayBindings().hasWindow(kScreen2));
    EXPECT_EQ(engine->mappings().value(kScreen2), 2);
}

TEST_F(DisplayBindingsTest, RefusedBindingsChangeNothing)
{
    engine->bind(kScreen1, left.number);
    engine->bind(kScreen2, right.number);
    displays->console = main.number;
    displays->keyWindow = right.number;
    struct Case
    {
        int number;
        const char* message;
    };
    const Case cases[] = {
        {main.number, "请先把控制台移到另一块显示器"},
        {right.number, "请先把控制台移到另一块显示器"},
        {left.number, "该显示器已分配给另一路输出"},
        {9, "该显示器未连接"}, // leaving the stored binding and window alone
    };
    for (const Case& c : cases) {
        const Show before = engine->show();
        engine->bind(kScreen2, c.number);
        EXPECT_EQ(engine->message(), QString::fromUtf8(c.message)) << c.number;
        EXPECT_EQ(engine->show(), before);
        EXPECT_EQ(engine->mappings(), (QMap<ScreenRole, int>{{kScreen1, 2}, {kScreen2, 3}}));
        EXPECT_TRUE(engine->displayBindings().hasWindow(kScreen2));
        EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("在线"));
    }
}

TEST_F(DisplayBindingsTest, UnpluggedDisplayComesBackByItself)
{
    engine->bind(kScreen2, right.number);
    displaysChange({main, left});
    EXPECT_FALSE(engine->displayBindings().hasWindow(kScreen2));
    EXPECT_FALSE(engine->mappings().contains(kScreen2));
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("掉线"));
    EXPECT_EQ(stored(kScreen2), QStringLiteral("C"));

    // Back at another place: the window reopens there; a later move only moves it.
    DisplayScreen moved = right;
    moved.geometry.moveLeft(1920);
    listenToStatus(kScreen2);
    displaysChange({main, moved});
    ASSERT_TRUE(engine->displayBindings().hasWindow(kScreen2));
    EXPECT_EQ(statusHeard, QStringList{"在线"});
    EXPECT_EQ(windows->windows[kScreen2]->display, moved);
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("在线"));
    const qsizetype opens = windows->opened.size();
    displaysChange({main, right});
    EXPECT_EQ(windows->opened.size(), opens);
    EXPECT_EQ(windows->windows[kScreen2]->display, right);
}

TEST_F(DisplayBindingsTest, WindowThatLostItsDisplayReadsOffline)
{
    engine->bind(kScreen2, right.number);
    windows->windows[kScreen2]->open = false;
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("掉线"));
}

TEST_F(DisplayBindingsTest, RestoreGivesEachDisplayToOneScreenAndNeverTheConsoles)
{
    const DisplayScreen twin = screenNumbered(4, QStringLiteral("C"), QStringLiteral("HDMI-3"));
    struct Case
    {
        const char* what;
        QMap<QString, QString> stored;
        QList<DisplayScreen> connected;
        std::optional<int> console;
        QMap<ScreenRole, int> expected;
    };
    const Case cases[] = {
        {"one identity stored twice: the first screen gets it",
         {{kScreen2.rawValue, "B"}, {kScreen3.rawValue, "B"}},
         {main, left},
         {},
         {{kScreen2, 2}}},
        {"an identity two displays report: neither",
         {{kScreen2.rawValue, "C"}, {kScreen3.rawValue, "B"}},
         {main, left, right, twin},
         {},
         {{kScreen3, 2}}},
        {"the console's display: no window",
         {{kScreen1.rawValue, "A"}, {kScreen2.rawValue, "B"}},
         {main, left},
         main.number,
         {{kScreen2, 2}}},
    };
    for (const Case& c : cases) {
        engine->bind(kScreen1, std::nullopt);
        engine->bind(kScreen2, std::nullopt);
        engine->bind(kScreen3, std::nullopt);
        storeBindings(c.stored);
        displays->console = c.console;
        displaysChange(c.connected);
        EXPECT_EQ(engine->mappings(), c.expected) << c.what;
        for (const ScreenRole& role : {kScreen1, kScreen2, kScreen3}) {
            EXPECT_EQ(engine->displayBindings().hasWindow(role), c.expected.contains(role)) << c.what;
            const bool storedHere = c.stored.contains(role.rawValue);
            EXPECT_EQ(engine->screenStatus(role), c.expected.contains(role) ? "在线" : (storedHere ? "掉线" : "仅监看"))
                << c.what;
        }
        EXPECT_EQ(engine->show().displayBindings, c.stored) << c.what;
    }
}

TEST_F(DisplayBindingsTest, BindingTakesTheDisplayFromAScreenThatOnlyStoredIt)
{
    // The second screen names the display, but it held the console when the project was opened.
    storeBindings({{kScreen2.rawValue, "B"}});
    displays->console = left.number;
    displaysChange({main, left, right});
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("掉线"));

    displays->console = main.number;
    engine->bind(kScreen3, left.number);
    EXPECT_EQ(engine->show().displayBindings, (QMap<QString, QString>{{kScreen3.rawValue, "B"}}));
    displaysChange({main, left, right});
    EXPECT_EQ(engine->mappings(), (QMap<ScreenRole, int>{{kScreen3, 2}}));
    EXPECT_EQ(engine->screenStatus(kScreen3), QStringLiteral("在线"));
    EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("仅监看"));
}

TEST_F(DisplayBindingsTest, RemovingAScreenClosesItsWindow)
{
    engine->bind(kScreen3, right.number);
    engine->removeScreen(kScreen3);
    EXPECT_EQ(windows->closed, QList<ScreenRole>{kScreen3});
    EXPECT_TRUE(engine->mappings().isEmpty());
    EXPECT_FALSE(engine->show().displayBindings->contains(kScreen3.rawValue));
}

TEST_F(DisplayBindingsTest, ArrangingTheBoundScreensSideBySideIsOneUndoStep)
{
    engine->bind(kScreen1, 2);
    engine->bind(kScreen2, 3);
    ASSERT_EQ(engine->mappings().size(), 2);
    const Show before = engine->show();
    const int steps = engine->editHistory()->count();
    engine->arrangeHorizontal(kScreen1, 0.1);
    EXPECT_TRUE(engine->mapping(kScreen2).enabled);
    EXPECT_EQ(engine->editHistory()->count(), steps + 1);
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), before);
}

// In a show whose screens follow its cues, the second screen leaves with the last side file and comes back with the
// next: back, it is on its stored display again, however it came back (an edit, undo or redo).
TEST_F(DisplayBindingsTest, ScreenThatComesBackIsOnItsStoredDisplayAgain)
{
    const QUrl side = stillFile(Qt::green);
    edit([&](Show& show) {
        show.outputScreens.reset();
        show.cues[0].side = side;
    });
    ASSERT_EQ(engine->show().screens(), (QList<ScreenRole>{kScreen1, kScreen2}));
    engine->bind(kScreen2, left.number);
    const auto setSide = [&](std::optional<QUrl> url) { edit([&](Show& show) { show.cues[0].side = url; }); };

    setSide(std::nullopt);
    EXPECT_FALSE(engine->program(kScreen2));
    EXPECT_FALSE(engine->displayBindings().hasWindow(kScreen2));
    EXPECT_EQ(stored(kScreen2), QStringLiteral("B"));
    QUndoStack& history = *engine->editHistory();
    // Each starts with the side file just cleared.
    const std::function<void()> returns[] = {
        [&] { setSide(side); },
        [&] { history.undo(); },
        [&] {
            setSide(side);
            history.undo();
            history.undo();
        },
        [&] {
            setSide(side);
            history.undo();
            history.redo();
        },
    };
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        if (row > 0)
            setSide(std::nullopt);
        ASSERT_FALSE(engine->displayBindings().hasWindow(kScreen2));
        returns[row]();
        ASSERT_TRUE(engine->show().screens().contains(kScreen2));
        ASSERT_TRUE(engine->displayBindings().hasWindow(kScreen2));
        EXPECT_EQ(windows->windows[kScreen2]->display, left);
        EXPECT_EQ(engine->mappings(), (QMap<ScreenRole, int>{{kScreen2, left.number}}));
        EXPECT_EQ(engine->screenStatus(kScreen2), QStringLiteral("在线"));
    }
}

// A screen whose last use is deleted from the list while that cue plays stays on air, window and picture, until
// nothing plays; meanwhile no other screen takes its display, a display change leaves it alone, and a cue taken
// next clears it.
TEST_F(DisplayBindingsTest, ScreenOfTheCueOnAirStaysUntilNothingPlays)
{
    const QUrl side = stillFile(Qt::green);
    edit([&](Show& show) {
        show.outputScreens.reset();
        show.cues[0].side = side;
    });
    engine->bind(kScreen2, left.number);
    engine->take(cue(0), false, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return engine->program(kScreen2)->url() == side; }));

    edit([](Show& show) { show.cues.removeFirst(); });
    ASSERT_FALSE(engine->show().screens().contains(kScreen2));
    const auto onAir = [&] {
        return engine->program(kScreen2) && engine->program(kScreen2)->url() == side &&
               engine->displayBindings().hasWindow(kScreen2) && windows->windows[kScreen2]->display == left;
    };
    EXPECT_TRUE(onAir());
    EXPECT_TRUE(windows->closed.isEmpty());
    // A binding of the first screen to that display, as an older step of the history may hold, waits too.
    storeBindings({{kScreen1.rawValue, "B"}, {kScreen2.rawValue, "B"}});
    displaysChange({main, left, right});
    EXPECT_FALSE(engine->displayBindings().hasWindow(kScreen1));
    engine->bind(kScreen1, left.number);
    EXPECT_EQ(engine->message(), QStringLiteral("该显示器已分配给另一路输出"));
    EXPECT_TRUE(onAir());

    // The next cue leaves nothing of the one before up there; the screen goes when nothing plays.
    engine->take(cue(0), false, std::nullopt);
    ASSERT_TRUE(engine->program(kScreen2));
    EXPECT_FALSE(engine->program(kScreen2)->url());
    EXPECT_TRUE(engine->displayBindings().hasWindow(kScreen2));
    engine->stop(true);
    EXPECT_FALSE(engine->program(kScreen2));
    EXPECT_EQ(windows->closed, QList<ScreenRole>{kScreen2});
    EXPECT_TRUE(engine->mappings().isEmpty());
}

#include "consolestate.h"
#include "dialogprojectchooser.h"
#include "engine.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "filepanelprocess.h"
#include "lumosettings.h"
#include "mediafilechooser.h"
#include "projectfileactions.h"
#include "projectfilewait.h"
#include "stallablemount.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

// The X side of the panel program, as the display sees it: its viewable window (found by the process id the window
// carries), its title, and keys typed into it.
class PanelOnDisplay
{
  public:
    PanelOnDisplay() : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~PanelOnDisplay() { xcb_disconnect(m_connection); }

    // The viewable top-level window of that process, or 0.
    xcb_window_t windowOf(qint64 pid)
    {
        const xcb_atom_t pidAtom = atom("_NET_WM_PID");
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
        if (!tree)
            return 0;
        xcb_window_t found = 0;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            const QByteArray owner = property(children[i], pidAtom, XCB_ATOM_CARDINAL);
            if (owner.size() != 4 || *reinterpret_cast<const quint32*>(owner.constData()) != quint32(pid))
                continue;
            xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr);
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                found = children[i];
            free(attributes);
        }
        free(tree);
        return found;
    }
    QString title(xcb_window_t window)
    {
        return QString::fromUtf8(property(window, atom("_NET_WM_NAME"), atom("UTF8_STRING")));
    }
    // One press and release of the key with that key symbol, sent to the window as a keyboard would.
    void type(xcb_window_t window, xcb_keysym_t symbol)
    {
        const xcb_keycode_t code = keycode(symbol);
        for (const uint8_t kind : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
            xcb_key_press_event_t event{};
            event.response_type = kind;
            event.detail = code;
            event.time = XCB_CURRENT_TIME;
            event.root = m_root;
            event.event = window;
            event.same_screen = 1;
            xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(m_connection);
    }

  private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : XCB_ATOM_NONE;
        free(reply);
        return value;
    }
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, name, type, 0, 1024), nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        free(reply);
        return value;
    }
    xcb_keycode_t keycode(xcb_keysym_t symbol)
    {
        const xcb_setup_t* setup = xcb_get_setup(m_connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
            m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, uint8_t(count)), nullptr);
        xcb_keycode_t found = 0;
        if (map) {
            const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
            for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i)
                if (symbols[i] == symbol)
                    found = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
        }
        free(map);
        return found;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

constexpr xcb_keysym_t kReturn = 0xff0d;
constexpr xcb_keysym_t kEscape = 0xff1b;

// Drawn by the program, text and all: many colours, not the blank of a window not yet painted.
bool paintedWithText(const QImage& shot)
{
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    return colours.size() > 20;
}

bool holdsFile(qint64 pid, const QString& path)
{
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& descriptor : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(descriptors.filePath(descriptor)) == path)
            return true;
    return false;
}

bool processGone(qint64 pid)
{
    return pid > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// The longest time the main thread went without serving its event loop, read from a 5 ms timer.
class Heartbeat
{
  public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
            ++m_beats;
        });
        m_timer.start(5);
        m_since.start();
    }
    void restart()
    {
        m_longest = 0;
        m_beats = 0;
        m_since.restart();
    }
    qint64 longest() const { return std::max(m_longest, m_since.elapsed()); }
    int beats() const { return m_beats; }

  private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
    int m_beats = 0;
};

// A console's project menu over a real engine, its panels shown by the panel program in front of a window of its own.
class FilePanels : public ::testing::Test
{
  protected:
    FilePanels()
    {
        Engine::Services services;
        services.players = fakePlayers();
        engine = std::make_unique<Engine>(true, nullptr, folder.filePath("recovery"), services);
        state = std::make_unique<ConsoleState>(*engine, settings);
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("Lumoria"));
        window->resize(640, 400);
        window->show();
        actions = std::make_unique<ProjectFileActions>(*state, chooser, window.get());
    }
    FilePanelProcess& panels() { return FilePanelProcess::of(window.get()); }
    // The panel program's window once it is up; 0 when none showed in time.
    xcb_window_t panelWindow()
    {
        xcb_window_t found = 0;
        waitUntil([&] { return panels().processId() > 0 && (found = display.windowOf(panels().processId())); }, 20000);
        return found;
    }

    QTemporaryDir folder;
    LumoSettings settings{folder.filePath("settings.ini")};
    std::unique_ptr<Engine> engine;
    std::unique_ptr<ConsoleState> state;
    std::unique_ptr<QWidget> window;
    DialogProjectChooser chooser;
    std::unique_ptr<ProjectFileActions> actions;
    PanelOnDisplay display;
};

} // namespace

// "另存为…": the panel program shows Qt's save panel in Chinese, its name field preset to the show's file, and the
// file the operator confirms comes back to the console, which saves there. Giving up on a panel, or closing the
// console's window, ends the program.
TEST_F(FilePanels, AChosenFileComesBackAndAPanelGivenUpEnds)
{
    const QString path = folder.filePath("show.json");
    ASSERT_EQ(ProjectFileWait::save(*engine, QUrl::fromLocalFile(path)), std::nullopt);
    ASSERT_TRUE(QFile::remove(path));
    // A file the console holds open, as a library might, without closing it for programs it starts.
    const QString held = folder.filePath("held");
    const int descriptor = ::open(QFile::encodeName(held).constData(), O_CREAT | O_RDWR, 0600);
    actions->saveShow(true);
    const xcb_window_t shown = panelWindow();
    ASSERT_NE(shown, 0u);
    EXPECT_FALSE(holdsFile(panels().processId(), held));
    ::close(descriptor);
    EXPECT_EQ(display.title(shown), QStringLiteral("另存为"));
    QImage shot;
    EXPECT_TRUE(waitUntil([&] {
        shot = QGuiApplication::primaryScreen()->grabWindow(WId(shown)).toImage();
        return paintedWithText(shot);
    }));
    QDir().mkpath(LUMO_TEST_SHOTS);
    shot.save(QStringLiteral(LUMO_TEST_SHOTS "/file-panel-program-save-as.png"));

    engine->setMessage({});
    display.type(shown, kReturn);
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已保存 · show.json"); }))
        << engine->message().toStdString();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(panels().isAsking());

    // Cancelled: nothing comes back.
    bool answered = false;
    chooseMediaFile(window.get(), {AssetKind::image}, [&](const QUrl&) { answered = true; });
    const xcb_window_t media = panelWindow();
    ASSERT_NE(media, 0u);
    display.type(media, kEscape);
    EXPECT_TRUE(waitUntil([&] { return !panels().isAsking(); }));
    EXPECT_FALSE(answered);

    // A newer panel ends the one before; the window's end ends the last.
    actions->relinkAssets();
    ASSERT_NE(panelWindow(), 0u);
    const qint64 first = panels().processId();
    actions->openShow();
    ASSERT_NE(panelWindow(), 0u);
    const qint64 second = panels().processId();
    EXPECT_NE(second, first);
    EXPECT_TRUE(waitUntil([&] { return processGone(first); }));
    actions.reset();
    window.reset();
    EXPECT_TRUE(waitUntil([&] { return processGone(second); }));
}

// A panel opened on a folder that stops answering, or above it, holds its own program; the console's main thread goes
// on serving its events, gives up on the panel at once, and takes a cancel as soon as the operator presses Escape.
TEST_F(FilePanels, APanelOnOrAboveAStalledFolderNeverHoldsTheConsole)
{
    StallableMount mount(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = mount.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(ProjectFileWait::save(*engine, QUrl::fromLocalFile(mount.mount() + "/show.json")), std::nullopt);
    mount.stall();
    Heartbeat heartbeat;

    // "另存为…" while the open show lives in the stalled folder: the panel starts there.
    heartbeat.restart();
    actions->saveShow(true);
    EXPECT_TRUE(waitUntil([&] { return panels().processId() > 0; }));
    const qint64 onStalled = panels().processId();
    EXPECT_TRUE(waitUntil([&] { return StallableMount::holdsAThreadOf(onStalled); }))
        << "the panel never asked the folder";
    EXPECT_TRUE(waitUntil([&] { return heartbeat.beats() >= 200; }));
    EXPECT_LT(heartbeat.longest(), 500) << "the console stopped while its panel waited on the folder";

    // The media panel opened in the folder above the mount, which lists the stalled one; Escape cancels it.
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    heartbeat.restart();
    bool answered = false;
    chooseMediaFiles(window.get(), {AssetKind::image, AssetKind::video, AssetKind::audio},
                     [&](const QList<QUrl>&) { answered = true; });
    QDir::setCurrent(before);
    EXPECT_LT(heartbeat.longest(), 500) << "giving up on the panel before waited for it";
    EXPECT_FALSE(processGone(onStalled)) << "a program held by the folder cannot end before it answers";
    const xcb_window_t above = panelWindow();
    ASSERT_NE(above, 0u);
    heartbeat.restart();
    display.type(above, kEscape);
    EXPECT_TRUE(waitUntil([&] { return !panels().isAsking(); }, 5000)) << "the cancel waited on the folder";
    EXPECT_FALSE(answered);
    EXPECT_LT(heartbeat.longest(), 500);

    // The program given up on ends once the folder answers.
    mount.answer();
    EXPECT_TRUE(waitUntil([&] { return processGone(onStalled); }, 30000));
}

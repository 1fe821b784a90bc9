#include "consolestate.h"
#include "dialogprojectchooser.h"
#include "engine.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "filepanelprocess.h"
#include "lumosettings.h"
#include "mediafilechooser.h"
#include "panelondisplay.h"
#include "projectfileactions.h"
#include "projectfilewait.h"
#include "stallablemount.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

bool holdsFile(qint64 pid, const QString& path)
{
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& descriptor : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(descriptors.filePath(descriptor)) == path)
            return true;
    return false;
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

    // A name typed towards the stalled folder holds the panel program itself: the console soon takes input again and
    // says why, and a newer panel asked then ends the held one.
    QSignalSpy silent(&panels(), &FilePanelProcess::stoppedAnswering);
    chooseMediaFile(window.get(), {AssetKind::image}, [&](const QUrl&) { answered = true; });
    const xcb_window_t typedInto = panelWindow();
    ASSERT_NE(typedInto, 0u);
    const qint64 held = panels().processId();
    EXPECT_TRUE(panels().holdsInput());
    display.focus(typedInto);
    display.typeText(typedInto, mount.mount() + "/");
    EXPECT_TRUE(waitUntil([&] { return !silent.isEmpty(); })) << "the console held its input for a held panel";
    EXPECT_FALSE(panels().holdsInput());
    EXPECT_TRUE(panels().isAsking()) << "a held panel is not given up on by itself";
    heartbeat.restart();
    chooseMediaFile(window.get(), {AssetKind::image}, [&](const QUrl&) { answered = true; });
    EXPECT_LT(heartbeat.longest(), 500) << "asking anew waited for the held panel";
    EXPECT_TRUE(panels().holdsInput());
    ASSERT_NE(panelWindow(), 0u);
    panels().giveUp();

    // The programs given up on end once the folder answers.
    mount.answer();
    EXPECT_TRUE(waitUntil([&] { return processGone(onStalled) && processGone(held); }, 30000));
    EXPECT_FALSE(answered);
}

// A name typed towards a share that answers every request late keeps the panel's main thread waiting on call after
// call, each seconds long: the panel is busy, never held, so the console keeps its input held for the panel all along.
TEST_F(FilePanels, APanelReadingASlowShareIsBusyNeverHeld)
{
    StallableMount mount(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = mount.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (int i = 0; i < 8; ++i)
        QFile(mount.backing() + QStringLiteral("/still%1.png").arg(i)).open(QIODevice::WriteOnly);
    for (const double late : {0.3, 0.6, 1.0}) {
        SCOPED_TRACE(late);
        mount.delay(late);
        QSignalSpy silent(&panels(), &FilePanelProcess::stoppedAnswering);
        chooseMediaFile(window.get(), {AssetKind::image}, [](const QUrl&) {});
        const xcb_window_t typedInto = panelWindow();
        ASSERT_NE(typedInto, 0u);
        display.focus(typedInto);
        display.typeText(typedInto, mount.mount() + "/");
        const qint64 panel = panels().processId();
        EXPECT_TRUE(waitUntil([&] { return StallableMount::holdsAThreadOf(panel); }, 5000))
            << "the panel never asked the share";
        EXPECT_FALSE(waitUntil([&] { return !silent.isEmpty(); }, 6000)) << "a busy panel was called held";
        EXPECT_TRUE(panels().holdsInput());
        panels().giveUp();
        mount.delay(0);
        EXPECT_TRUE(waitUntil([&] { return processGone(panel); }, 30000));
    }
}

// A media panel takes only files of the kinds it asks for, typed or listed: a typed name of another kind keeps the
// panel open, and a message in the panel names it. The import panel hands on every name typed into its name field,
// not only those its listing has reached; a name it cannot take is named, and nothing is taken until it is mended.
TEST_F(FilePanels, APanelTakesEveryTypedNameAndOnlyFilesOfItsKinds)
{
    const QDir media(folder.filePath("media"));
    ASSERT_TRUE(media.mkpath("."));
    QStringList pictures;
    for (int i = 1; i <= 30; ++i)
        pictures.append(QStringLiteral("p%1.png").arg(i, 2, 10, QLatin1Char('0')));
    for (const QString& name : pictures + QStringList{"notes.txt", "tone.wav"}) {
        QFile file(media.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString before = QDir::currentPath();
    QDir::setCurrent(media.path());
    const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
    const auto closeRefusal = [&](qint64 pid, const QString& shotName) {
        xcb_window_t refusal = 0;
        if (!waitUntil([&] { return (refusal = display.windowTitled(pid, QStringLiteral("无法选择文件"))) != 0; }))
            return false;
        // The window is mapped before it is drawn at its size: until then a grab shows what lies beneath it.
        const auto showsWarningSign = [](const QImage& image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (const QColor c = image.pixelColor(x, y); c.red() > 200 && c.green() > 180 && c.blue() < 80)
                        return true;
            return false;
        };
        QImage shot;
        waitUntil([&] {
            shot = QGuiApplication::primaryScreen()->grabWindow(WId(refusal)).toImage();
            return paintedWithText(shot) && showsWarningSign(shot);
        });
        shot.save(QStringLiteral(LUMO_TEST_SHOTS "/%1.png").arg(shotName));
        display.focus(refusal);
        display.type(refusal, kReturn);
        return waitUntil([&] { return display.windowTitled(pid, QStringLiteral("无法选择文件")) == 0; });
    };
    QDir().mkpath(LUMO_TEST_SHOTS);

    std::optional<QUrl> sound;
    chooseMediaFile(window.get(), {AssetKind::audio}, [&](const QUrl& url) { sound = url; });
    xcb_window_t shown = panelWindow();
    ASSERT_NE(shown, 0u);
    const qint64 soundPanel = panels().processId();
    display.enter(shown, QStringLiteral("\"notes.txt\""));
    EXPECT_TRUE(closeRefusal(soundPanel, "file-panel-refuses-another-kind")) << "a text file was not refused";
    EXPECT_FALSE(sound);
    ASSERT_TRUE(panels().isAsking());
    display.enter(shown, QStringLiteral("\"tone.wav\""));
    EXPECT_TRUE(waitUntil([&] { return sound.has_value(); }));
    EXPECT_EQ(sound, QUrl::fromLocalFile(media.filePath("tone.wav")));

    std::optional<QList<QUrl>> imported;
    chooseMediaFiles(window.get(), {AssetKind::image, AssetKind::video, AssetKind::audio},
                     [&](const QList<QUrl>& urls) { imported = urls; });
    shown = panelWindow();
    ASSERT_NE(shown, 0u);
    const qint64 importPanel = panels().processId();
    QString typed;
    QList<QUrl> expected;
    for (const QString& name : pictures) {
        typed += QStringLiteral("\"%1\" ").arg(name);
        expected.append(QUrl::fromLocalFile(media.filePath(name)));
    }
    display.enter(shown, typed + QStringLiteral("\"gone.png\""));
    EXPECT_TRUE(closeRefusal(importPanel, "file-panel-names-what-it-cannot-take")) << "a missing file was not named";
    EXPECT_FALSE(imported);
    display.enter(shown, typed);
    EXPECT_TRUE(waitUntil([&] { return imported.has_value(); }));
    EXPECT_EQ(imported.value_or(QList<QUrl>{}), expected);
}

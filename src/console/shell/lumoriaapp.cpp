#include "lumoriaapp.h"

#include "audiochannelmixer.h"
#include "chineseqtdialogs.h"
#include "consolewindow.h"
#include "engine.h"
#include "lumosettings.h"
#include "remotehost.h"
#include "screenoutputwindows.h"
#include "windowplacement.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

LumoriaApp::LumoriaApp(Options options, QObject* parent)
    : QObject(parent), m_mixer(std::make_shared<AudioChannelMixer>()),
      m_settings(new LumoSettings(options.settingsFile, this))
{
    installChineseQtDialogs();
    const QString recovery =
        options.recoveryDirectory.isEmpty() ? defaultRecoveryDirectory() : options.recoveryDirectory;
    Engine::Services services;
    services.makeRemoteHost = RemoteHost::factory();
    services.windows = std::make_shared<ScreenOutputWindows>();
    m_engine = new Engine(true, m_mixer, recovery, services, this);
    m_windows = new SingleWindows(*m_engine, this);

    auto* view = new ConsoleView(*m_engine, *m_settings, [this](const QString& id) { openWindow(id); });
    m_window = std::make_unique<ConsoleWindow>(view, *m_engine, *m_settings);

    m_windows->setTooltipsEnabled(m_settings->showsLumoTooltips());
    connect(m_settings, &LumoSettings::showsLumoTooltipsChanged, this,
            [this] { m_windows->setTooltipsEnabled(m_settings->showsLumoTooltips()); });
    connect(m_settings, &LumoSettings::writeFailed, m_engine, &Engine::setMessage);
    // From here a signal ends the run without asking.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_quitting = true; });
    connect(qApp, &QCoreApplication::aboutToQuit, view, &ConsoleView::applicationWillTerminate);
    // The console is the application: closing it ends the run, single windows included.
    connect(m_window.get(), &ConsoleWindow::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(qApp, &QGuiApplication::screenRemoved, this,
            [this] { QTimer::singleShot(0, this, &LumoriaApp::keepWindowsOnScreens); });
    reportStartProblems(recovery);
}

LumoriaApp::~LumoriaApp()
{
    // The windows observe the engine: they go first.
    m_window.reset();
    delete m_windows;
    m_windows = nullptr;
}

QString LumoriaApp::defaultRecoveryDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Lumoria";
}

void LumoriaApp::openWindow(const QString& id)
{
    m_windows->open(id);
}

// The console opens on the primary display, as large as its default size where the display has room for it.
void LumoriaApp::show()
{
    placeOpeningWindow(*m_window, ConsoleWindow::defaultWindowSize, QGuiApplication::primaryScreen());
    m_window->show();
}

void LumoriaApp::bringForward()
{
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool LumoriaApp::askToQuit()
{
    if (m_quitting || m_window->closing())
        return false;
    m_window->close();
    return true;
}

// The console starts whatever it finds; what is wrong goes to the status line.
void LumoriaApp::reportStartProblems(const QString& recoveryDirectory)
{
    QStringList problems = m_settings->problems();
    if (!QDir().mkpath(recoveryDirectory) || !QFileInfo(recoveryDirectory).isWritable())
        problems.prepend("无法创建恢复文件夹 · " + QDir::toNativeSeparators(recoveryDirectory) +
                         " · 未保存的修改不会自动备份");
    if (!problems.isEmpty())
        m_engine->setMessage(problems.join(" · "));
}

// A window left on a display that went away is brought back to the primary one, whole.
void LumoriaApp::keepWindowsOnScreens()
{
    QList<QWidget*> windows = m_windows->openWindows();
    windows.prepend(m_window.get());
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    bool moved = false;
    for (QWidget* window : windows) {
        if (!window->isVisible() || QGuiApplication::screenAt(window->frameGeometry().center()))
            continue;
        QRect frame = window->frameGeometry();
        frame.moveCenter(primary->availableGeometry().center());
        window->move(frame.topLeft());
        moved = true;
    }
    if (moved)
        m_engine->setMessage("显示器已断开 · 窗口已移到主显示器");
}

#pragma once

#include "consoleview.h"
#include "singlewindows.h"

#include <QObject>
#include <QString>
#include <memory>

class AudioChannelMixer;
class ConsoleWindow;
class Engine;
class LumoSettings;
class QScreen;
class RemoteHost;

// The application: the one engine for the whole run, the console window over it, the single windows opened by
// id, and the settings.
class LumoriaApp : public QObject
{
    Q_OBJECT
  public:
    struct Options
    {
        // Where the recovery copy lives; empty: the user's data folder, "Lumoria" inside it.
        QString recoveryDirectory;
        // The settings file; empty: the user's settings of "Lumoria".
        QString settingsFile;
    };

    explicit LumoriaApp(Options options = {}, QObject* parent = nullptr);
    ~LumoriaApp() override;

    static QString defaultRecoveryDirectory();

    Engine& engine() const { return *m_engine; }
    LumoSettings& settings() const { return *m_settings; }
    ConsoleWindow& consoleWindow() const { return *m_window; }
    SingleWindows& singleWindows() const { return *m_windows; }
    void openWindow(const QString& id);
    void show();
    // Another start of the program asked for the console: it comes forward, restored if minimised.
    void bringForward();
    // A quit asked from outside (SIGTERM), taken as closing the console's window; false when a quit is on its way
    // already.
    bool askToQuit();
    // Brings a window left outside every display (its display went away) back onto the primary one, and says so.
    void keepWindowsOnScreens();

  private:
    void reportStartProblems(const QString& recoveryDirectory);

    std::shared_ptr<AudioChannelMixer> m_mixer;
    LumoSettings* m_settings;
    Engine* m_engine;
    SingleWindows* m_windows;
    std::unique_ptr<ConsoleWindow> m_window;
    bool m_quitting = false;
};
